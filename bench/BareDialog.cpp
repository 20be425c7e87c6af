// zelwan_bench_dialog: the reference of the start-up case, the least a Qt Widgets program does to
// put a dialog on the screen. Like zelwan under ZELWAN_QUIT_WHEN_SHOWN, it ends once the dialog has
// been drawn.

#include <QApplication>
#include <QDialog>
#include <QTimer>

namespace {

class TBareDialog : public QDialog {
protected:
    void paintEvent(QPaintEvent* event) override {
        QDialog::paintEvent(event);
        if (!FPainted)
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        FPainted = true;
    }

private:
    bool FPainted = false;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TBareDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Konfiguracja połączenia z serwerem"));
    dialog.resize(418, 235); // the connection dialog's size
    dialog.show();
    return app.exec();
}
