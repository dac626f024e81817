#include "app/application_gui.h"
#include "app/main_form.h"
#include "platform/dialogs.h"
#include "platform/error.h"

#include <exception>

int main(int argc, char **argv)
{
    zento::TApplication app(argc, argv);
    try {
        zento::TMainForm1 form(QCoreApplication::applicationFilePath());
        form.show();
        return app.exec();
    } catch (const std::exception &e) {
        zento::ShowErrorBox(zento::ExceptionMessage(e));
    } catch (...) {
        zento::ShowErrorBox(QString());
    }
    return 1;
}
