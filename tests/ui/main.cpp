#include "ui/Fonts.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // The test discovery at build time runs without the test environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Konfiguracja połączenia z bazą danych"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    InstallFontSubstitutions();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
