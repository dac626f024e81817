#include "app/application_gui.h"
#include "app/main_form.h"
#include "widgets/handler_guard.h"

int main(int argc, char **argv)
{
    zento::TApplication app(argc, argv);
    // An error that escapes start-up is shown in the error box; the program
    // then ends.
    int result = 1;
    zento::RunGuarded([&] {
        zento::TMainForm1 form(QCoreApplication::applicationFilePath());
        form.show();
        result = app.exec();
    });
    return result;
}
