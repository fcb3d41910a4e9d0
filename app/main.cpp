// kestrelfind: the window program. Brings the process-wide objects up before any window, lets only
// one copy run per user, runs the compact search window until it closes, then takes everything down
// with the engine last.
#include "UnitLanguageRegConfig.h"
#include "data_thread.h"
#include "frm_search_main.h"
#include "shared_state.h"
#include "single_instance.h"

#include <QApplication>

#include <memory>

int main(int argc, char** argv) {
    using namespace kestrel;

    // The text catalogue and the shared state exist before any window asks for a text.
    auto language = std::make_unique<config::TLanguage>(config::kHkeyCurrentUser,
                                                        QString::fromLatin1(config::kLanguageLibrary),
                                                        QString::fromLatin1(config::kProgramKeyPath));
    core::InitSharedState();

    int exitCode = 0;
    {
        QApplication application(argc, argv);
        QApplication::setApplicationName(QStringLiteral("kestrelfind"));
        QApplication::setApplicationDisplayName(QStringLiteral("Kestrel Find"));
        QApplication::setDesktopFileName(QStringLiteral("kestrelfind"));
        // The box quits the program when it closes; a dialog closing while the box is hidden must not.
        QApplication::setQuitOnLastWindowClosed(false);
        core::SetStatusTextLookup([lookup = language.get()](const QString& id, const QString& arg) {
            return lookup->GetText(id, arg);
        });

        auto single = std::make_unique<platform::SingleInstance>();
        if (single->claim() == platform::SingleInstance::Role::First) {
            app::TfrmSearchMain box(*language);
            QObject::connect(single.get(), &platform::SingleInstance::activationRequested, &box,
                             &app::TfrmSearchMain::RestoreFromSecondInstance);
            box.show();
            box.activateWindow();
            exitCode = QApplication::exec();
        }
        single.reset();
        StopKestrelfind(nullptr);
        core::SetStatusTextLookup(nullptr);
    }
    language.reset();
    core::FreeSharedState();
    return exitCode;
}
