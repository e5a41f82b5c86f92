// The desktop tool: one window, "Extract\Insert Tool". It reads no command line beyond the
// toolkit's own options.
#include <exception>

#include <QApplication>
#include <QMessageBox>

#include "ui/main_form.h"

int main(int argc, char** argv) {
    try {
        const bool styleGiven = rpq::StyleGiven(argc, argv);
        QApplication app(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Extract\\Insert Tool"));
        if (!styleGiven)
            rpq::UseClassicStyle();
        try {
            rpq::TMainForm form;
            form.show();
            QApplication::exec();
        } catch (const std::exception& error) {
            QMessageBox::critical(nullptr, QStringLiteral("Error"),
                                  QString::fromLocal8Bit(error.what()));
        }
    } catch (const std::exception&) {
        // The toolkit itself could not start; there is nothing to show a message with.
    }
    return 0;
}
