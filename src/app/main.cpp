#include "app/application_gui.h"
#include "app/main_form.h"
#include "app/start_arguments.h"
#include "app/start_source_gui.h"
#include "widgets/handler_guard.h"

#include <QDir>

#include <cstdio>

int main(int argc, char **argv)
{
    // The usage needs no display: it is answered before the application
    // object connects to one.
    if (zento::AsksForUsage(argc, argv)) {
        std::fputs(zento::StartUsage().toLocal8Bit().constData(), stdout);
        return 0;
    }
    zento::TApplication app(argc, argv);
    // An error that escapes start-up is shown in the error box; the program
    // then ends.
    int result = 1;
    zento::RunGuarded([&] {
        zento::TMainForm1 form(QCoreApplication::applicationFilePath());
        // A disc or an image handed over by the desktop (or typed).
        result = zento::RunWindow(form, zento::StartSource(QCoreApplication::arguments(), QDir::currentPath()));
    });
    return result;
}
