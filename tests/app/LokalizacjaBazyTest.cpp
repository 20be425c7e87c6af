#include "AppTestUtil.h"

#include "FakeUi.h"
#include "TestUtil.h"
#include "VrlKey.h"
#include "app/Application.h"
#include "app/LokalizacjaBazy.h"
#include "core/Exception.h"
#include "platform/Credentials.h"
#include "platform/Files.h"
#include "platform/ProfileFile.h"
#include "settings/LokalizacjaBazyFile.h"
#include "ui/BitBtnKom.h"
#include "ui/QtUserInterface.h"
#include "ui/SlownikBtn.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyleOptionComboBox>
#include <QTest>

#include <filesystem>
#include <optional>

namespace fs = std::filesystem;

namespace {

const char* const kLocal = "[MAIN]\n"
                           "REMOTE=0\n"
                           "SERWER_NAME=srv\n"
                           "PROTOCOL_NAME=1\n"
                           "DATABASE_DIR=/dane/baza\n"
                           "SHARED_DIR=/dane/wsp\n"
                           "PROFIL_DIR=/dane/wsp\n"
                           "DATABASE_FILE_EXT=.IB\n";

const char* const kRemote = "[MAIN]\n"
                            "REMOTE=1\n"
                            "SERWER_NAME=db.firma.pl\n"
                            "PROTOCOL_NAME=2\n"
                            "DATABASE_DIR=/srv/baza\n"
                            "SHARED_DIR=/dane/wsp\n"
                            "PROFIL_DIR=/dane/profile\n"
                            "DATABASE_FILE_EXT=.fb\n";

class DialogTest : public ::testing::Test {
public:
    void SetUp() override { UsePrivateRegistry(tmp); }

    // Opens the dialog on baza.set of the test (nothing is written when content is null).
    TfLokalizacjaBazy& Open(const char* content) {
        if (content)
            WriteWholeFile(file, content);
        dialog = std::make_unique<TfLokalizacjaBazy>(nullptr, file);
        dialog->SetSelectDirectory([this](QWidget*, const std::string& start) {
            starts.push_back(start);
            std::optional<std::string> answer = answers.empty() ? std::nullopt : answers.front();
            if (!answers.empty())
                answers.erase(answers.begin());
            return answer;
        });
        dialog->show();
        return *dialog;
    }
    template <class T> T* W(const char* name) { return Child<T>(dialog.get(), name); }
    QLineEdit* Edit(const char* name) { return W<QLineEdit>(name); }
    std::string Text(const char* name) { return Edit(name)->text().toStdString(); }
    std::string Key(const std::string& key) {
        platform::TProfileFile ini(file);
        return ini.ReadString("MAIN", key, "<missing>");
    }
    bool BackupExists() { return fs::exists(file + "~"); }
    void PressF6(const char* edit, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(Edit(edit), Qt::Key_F6, mods);
    }

    TTempDir tmp;
    std::string file = tmp / "baza.set";
    TFakeUi ui;
    std::unique_ptr<TfLokalizacjaBazy> dialog;
    std::vector<std::optional<std::string>> answers; // scripted answers of the directory selection
    std::vector<std::string> starts;                 // where each selection started
};

} // namespace

TEST_F(DialogTest, DesignGeometryNamesAndTabOrder) {
    Open(kRemote); // every control enabled, so that each is a tab stop
    EXPECT_EQ(dialog->windowTitle().toStdString(), "Konfiguracja połączenia z serwerem");
    EXPECT_EQ(dialog->size(), QSize(418, 235));
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
    struct Row {
        const char* name;
        QRect rect;
        const char* text;
    } rows[] = {
        {"BBzapisz", {184, 206, 75, 25}, "&Ok"},        {"BBpomoc", {340, 206, 75, 25}, "Pomoc"},
        {"Button1", {4, 206, 75, 25}, "Test"},          {"BBanuluj", {262, 206, 75, 25}, "&Anuluj"},
        {"Panel1", {0, 0, 418, 200}, nullptr},          {"E_SerwerName", {125, 52, 149, 23}, nullptr},
        {"E_DatabaseDir", {125, 79, 263, 23}, nullptr}, {"E_SharedDir", {125, 133, 263, 23}, nullptr},
        {"E_ProfileDir", {125, 160, 263, 23}, nullptr}, {"CB_DatabaseFileExt", {125, 106, 73, 23}, nullptr},
    };
    for (const Row& r : rows) {
        QWidget* w = W<QWidget>(r.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->geometry(), r.rect) << r.name;
        if (auto* b = qobject_cast<QAbstractButton*>(w); b && r.text) {
            EXPECT_EQ(b->text().toStdString(), r.text) << r.name;
        }
    }
    // Boxes whose caption is wider here than designed grow to the right just enough, up to the next
    // control or the panel's inner edge; place, height and everything else stay.
    const struct Widened {
        const char* name;
        QRect design;
        int maxRight;
        const char* text;
    } widened[] = {
        {"RB_lokal", {85, 11, 127, 17}, 417, "Lokalna baza danych"},
        {"RB_remote", {85, 29, 148, 17}, 417, "Baza na zdalnym serwerze"},
        {"CB_ProfileDir", {37, 163, 86, 17}, 123, "Katalog profili "},
    };
    for (const Widened& r : widened) {
        QWidget* w = W<QWidget>(r.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->pos(), r.design.topLeft()) << r.name;
        EXPECT_EQ(w->height(), r.design.height()) << r.name;
        const int fit =
            std::min(std::max(r.design.width(), w->sizeHint().width()), r.maxRight - r.design.x());
        EXPECT_EQ(w->width(), std::max(fit, r.design.width())) << r.name;
        if (auto* b = qobject_cast<QAbstractButton*>(w); b && r.text) {
            EXPECT_EQ(b->text().toStdString(), r.text) << r.name;
        }
    }
    // The picker buttons keep their place and width; their height is that of an edit box in their font.
    for (const auto& [name, top] :
         {std::pair{"SB_DatabaseDir", 79}, {"SB_SharedDir", 133}, {"SB_ProfileDir", 160}}) {
        auto* b = W<TSlownikBtn>(name);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->geometry(), QRect(389, top, 20, b->HeightFromFont())) << name;
        EXPECT_GE(b->height(), 21) << name;
    }
    struct LabelRow {
        const char* name;
        QPoint pos;
        const char* text;
    } labels[] = {{"L_SerwerName", {86, 57}, "Serwer"},
                  {"Label2", {20, 82}, "Katalog bazy danych"},
                  {"L_NetProtocol", {290, 57}, "Protokół"},
                  {"Label1", {13, 136}, "Katalog współdzielony"},
                  {"Label3", {7, 111}, "Rozszerzenie pliku bazy"}};
    for (const LabelRow& l : labels) {
        QLabel* w = W<QLabel>(l.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->pos(), l.pos) << l.name;
        EXPECT_EQ(w->text().toStdString(), l.text);
        // A caption must not run into the box beside it.
        EXPECT_GE(w->width(), w->sizeHint().width()) << l.name;
    }
    EXPECT_EQ(W<QLabel>("Image1")->geometry(), QRect(15, 13, 32, 32));
    EXPECT_FALSE(W<QLabel>("Image1")->pixmap().isNull());
    EXPECT_TRUE(W<QLabel>("Label3")->alignment() & Qt::AlignRight);

    const QStringList protocols = {"TCP", "NamedPipe", "SPX"}, exts = {".gdb", ".ib", ".fb"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(W<QComboBox>("CB_NetProtocol")->itemText(i), protocols[i]);
        EXPECT_EQ(W<QComboBox>("CB_DatabaseFileExt")->itemText(i), exts[i]);
    }
    EXPECT_EQ(W<QComboBox>("CB_NetProtocol")->count(), 3);
    EXPECT_FALSE(W<QComboBox>("CB_NetProtocol")->isEditable());

    // Fonts: the form's "MS Sans Serif" 8 pt, "Arial" 9 pt for the bitmap buttons, edit boxes and lists.
    EXPECT_EQ(dialog->font().family().toStdString(), "MS Sans Serif");
    for (const char* name : {"BBzapisz", "E_DatabaseDir", "CB_DatabaseFileExt"})
        EXPECT_EQ(W<QWidget>(name)->font().family().toStdString(), "Arial") << name;

    // The tab order; the picker buttons are no tab stops.
    const char* order[] = {
        "BBzapisz",    "BBpomoc",      "Button1",        "BBanuluj",      "RB_lokal",
        "RB_remote",   "E_SerwerName", "CB_NetProtocol", "E_DatabaseDir", "CB_DatabaseFileExt",
        "E_SharedDir", "E_ProfileDir", "CB_ProfileDir"};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        QWidget* next = NextTabStop(W<QWidget>(order[i]));
        ASSERT_NE(next, nullptr);
        EXPECT_EQ(next->objectName().toStdString(), order[i + 1]) << "after " << order[i];
    }
    for (const char* name : {"SB_DatabaseDir", "SB_SharedDir", "SB_ProfileDir"})
        EXPECT_FALSE(W<QWidget>(name)->focusPolicy() & Qt::TabFocus) << name;
    for (auto* b : dialog->findChildren<QPushButton*>())
        EXPECT_FALSE(b->isDefault() || b->autoDefault()) << b->objectName().toStdString();
}

// Every protocol reads whole in the closed list, within the window and off its edge; the list keeps
// its place and height, and nothing else moves.
TEST_F(DialogTest, TheProtocolListShowsEveryItemWhole) {
    Open(kRemote);
    auto* list = W<QComboBox>("CB_NetProtocol");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->pos(), QPoint(336, 52));
    EXPECT_EQ(list->height(), 23);
    const QWidget* panel = W<QWidget>("Panel1");
    EXPECT_LE(list->geometry().right(), panel->width() - 1 - 3); // a margin inside the panel's frame
    EXPECT_GT(list->geometry().left(), W<QLabel>("L_NetProtocol")->geometry().right());
    const QFontMetrics metrics(list->font());
    for (int i = 0; i < list->count(); ++i) {
        list->setCurrentIndex(i);
        QStyleOptionComboBox option;
        option.initFrom(list);
        option.currentText = list->currentText();
        const QRect field =
            list->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, list);
        EXPECT_GE(field.width() - 2, metrics.horizontalAdvance(list->currentText()))
            << list->currentText().toStdString();
        SaveShot(dialog.get(), "dialog-protocol-" + list->currentText().toStdString());
    }
}

// Centred on the screen: the window with its frame in the middle of the whole screen.
TEST_F(DialogTest, OpensCentredOnTheScreen) {
    Open(kLocal);
    const QRect screen = dialog->screen()->geometry();
    const QRect frame = dialog->frameGeometry();
    EXPECT_EQ(frame.topLeft(), QPoint(screen.x() + (screen.width() - frame.width()) / 2,
                                      screen.y() + (screen.height() - frame.height()) / 2));
}

TEST_F(DialogTest, LocalSettingsLeaveTheServerBoxEmptyAndDisabled) {
    Open(kLocal);
    EXPECT_TRUE(W<QRadioButton>("RB_lokal")->isChecked());
    EXPECT_FALSE(W<QRadioButton>("RB_remote")->isChecked());
    EXPECT_EQ(Text("E_SerwerName"), "");
    for (const char* name : {"E_SerwerName", "L_SerwerName", "CB_NetProtocol", "L_NetProtocol"})
        EXPECT_FALSE(W<QWidget>(name)->isEnabled()) << name;
    EXPECT_TRUE(W<TSlownikBtn>("SB_DatabaseDir")->Enabled());
    EXPECT_TRUE(Edit("E_DatabaseDir")->isEnabled());
    EXPECT_EQ(Text("E_DatabaseDir"), "/dane/baza");
    EXPECT_EQ(W<QComboBox>("CB_NetProtocol")->currentIndex(), 1);
    EXPECT_EQ(W<QComboBox>("CB_DatabaseFileExt")->currentText().toStdString(), ".ib"); // case ignored
    // Shared and profile directory equal: the box unchecked, the profile box and its picker off.
    EXPECT_FALSE(W<QCheckBox>("CB_ProfileDir")->isChecked());
    EXPECT_FALSE(Edit("E_ProfileDir")->isEnabled());
    EXPECT_FALSE(W<TSlownikBtn>("SB_ProfileDir")->Enabled());
    EXPECT_EQ(Text("E_ProfileDir"), "/dane/wsp");
    EXPECT_FALSE(dialog->WasBackup());
    EXPECT_TRUE(dialog->RestoreNeed());
    SaveShot(dialog.get(), "dialog-local");

    QTest::mouseClick(W<QPushButton>("BBzapisz"), Qt::LeftButton);
    EXPECT_EQ(Key("REMOTE"), "0");
    EXPECT_EQ(Key("SERWER_NAME"), ""); // the server name read from the file is not kept
    EXPECT_EQ(Key("DATABASE_FILE_EXT"), ".ib");
    EXPECT_EQ(Key("PROTOCOL_NAME"), "1");
}

TEST_F(DialogTest, RemoteSettingsEnableTheServerAndProtocol) {
    Open(kRemote);
    EXPECT_TRUE(W<QRadioButton>("RB_remote")->isChecked());
    EXPECT_EQ(Text("E_SerwerName"), "db.firma.pl");
    for (const char* name : {"E_SerwerName", "L_SerwerName", "CB_NetProtocol", "L_NetProtocol"})
        EXPECT_TRUE(W<QWidget>(name)->isEnabled()) << name;
    EXPECT_FALSE(W<TSlownikBtn>("SB_DatabaseDir")->Enabled());
    EXPECT_EQ(W<QComboBox>("CB_NetProtocol")->currentText().toStdString(), "SPX");
    EXPECT_EQ(W<QComboBox>("CB_DatabaseFileExt")->currentText().toStdString(), ".fb");
    EXPECT_TRUE(W<QCheckBox>("CB_ProfileDir")->isChecked());
    EXPECT_TRUE(Edit("E_ProfileDir")->isEnabled());
    EXPECT_TRUE(W<TSlownikBtn>("SB_ProfileDir")->Enabled());
    EXPECT_EQ(Text("E_ProfileDir"), "/dane/profile");
    SaveShot(dialog.get(), "dialog-remote");
}

TEST_F(DialogTest, SwitchingTheModeKeepsTheTypedTexts) {
    Open(kLocal);
    Edit("E_DatabaseDir")->clear();
    QTest::keyClicks(Edit("E_DatabaseDir"), "/srv/x");
    QTest::mouseClick(W<QRadioButton>("RB_remote"), Qt::LeftButton);
    ASSERT_TRUE(W<QRadioButton>("RB_remote")->isChecked());
    EXPECT_TRUE(Edit("E_SerwerName")->isEnabled());
    EXPECT_TRUE(W<QComboBox>("CB_NetProtocol")->isEnabled());
    EXPECT_FALSE(W<TSlownikBtn>("SB_DatabaseDir")->Enabled());
    EXPECT_TRUE(Edit("E_DatabaseDir")->isEnabled()); // the path as the server sees it is typed
    QTest::keyClicks(Edit("E_SerwerName"), "db1");

    QTest::mouseClick(W<QRadioButton>("RB_lokal"), Qt::LeftButton);
    EXPECT_FALSE(Edit("E_SerwerName")->isEnabled());
    EXPECT_EQ(Text("E_SerwerName"), "db1");
    EXPECT_EQ(Text("E_DatabaseDir"), "/srv/x");
    EXPECT_EQ(W<QComboBox>("CB_NetProtocol")->currentIndex(), 1);
    EXPECT_TRUE(W<TSlownikBtn>("SB_DatabaseDir")->Enabled());

    // A local save still writes what the server box holds, as it is shown.
    QTest::mouseClick(W<QPushButton>("BBzapisz"), Qt::LeftButton);
    EXPECT_EQ(Key("REMOTE"), "0");
    EXPECT_EQ(Key("SERWER_NAME"), "db1");
    EXPECT_EQ(Key("DATABASE_DIR"), "/srv/x");
}

TEST_F(DialogTest, UncheckedProfileBoxFollowsTheSharedBoxAtEveryKeystroke) {
    Open(kLocal);
    QLineEdit* shared = Edit("E_SharedDir");
    shared->clear();
    EXPECT_EQ(Text("E_ProfileDir"), "");
    std::string typed;
    for (char c : std::string("/nowy")) {
        QTest::keyClick(shared, c);
        typed += c;
        EXPECT_EQ(Text("E_ProfileDir"), typed);
    }
    // Checking keeps the current text and lets the user change it; the shared box no longer rules.
    QTest::mouseClick(W<QCheckBox>("CB_ProfileDir"), Qt::LeftButton);
    EXPECT_TRUE(Edit("E_ProfileDir")->isEnabled());
    EXPECT_TRUE(W<TSlownikBtn>("SB_ProfileDir")->Enabled());
    EXPECT_EQ(Text("E_ProfileDir"), "/nowy");
    QTest::keyClicks(shared, "/x");
    QTest::keyClicks(Edit("E_ProfileDir"), "/p");
    EXPECT_EQ(Text("E_ProfileDir"), "/nowy/p");
    // Unchecking puts the shared directory back into it.
    QTest::mouseClick(W<QCheckBox>("CB_ProfileDir"), Qt::LeftButton);
    EXPECT_FALSE(Edit("E_ProfileDir")->isEnabled());
    EXPECT_EQ(Text("E_ProfileDir"), "/nowy/x");
}

TEST_F(DialogTest, ValuesOutsideTheListsShowNoSelectionAndSaveAsEmptyAnd255) {
    Open("[MAIN]\nREMOTE=1\nPROTOCOL_NAME=7\nDATABASE_FILE_EXT=.fdb\n");
    EXPECT_EQ(W<QComboBox>("CB_NetProtocol")->currentIndex(), -1);
    EXPECT_EQ(W<QComboBox>("CB_DatabaseFileExt")->currentIndex(), -1);
    QTest::mouseClick(W<QPushButton>("BBzapisz"), Qt::LeftButton);
    EXPECT_EQ(Key("PROTOCOL_NAME"), "255");
    EXPECT_EQ(Key("DATABASE_FILE_EXT"), "");
}

TEST_F(DialogTest, OkWithoutTestSavesOnceMakesAndDeletesTheBackup) {
    CreateVrlKey();
    Open(kRemote);
    Edit("E_DatabaseDir")->setText("/srv/nowa");
    QTest::mouseClick(W<QPushButton>("BBzapisz"), Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(dialog->WasBackup());
    EXPECT_FALSE(dialog->RestoreNeed());
    EXPECT_FALSE(BackupExists());
    EXPECT_EQ(Key("DATABASE_DIR"), "/srv/nowa");
    EXPECT_EQ(VrlRegistryValue(), "db.firma.pl@/srv/nowa");
    EXPECT_TRUE(ui.ErrorBoxes.empty());
}

// Every way of closing without Ok after a tentative save puts the file back; the registry value stays.
TEST_F(DialogTest, ClosingWithoutOkAfterASaveRestoresTheFile) {
    struct Way {
        const char* name;
        std::function<void(DialogTest&)> close;
    } ways[] = {
        {"Anuluj", [](DialogTest& t) { QTest::mouseClick(t.W<QPushButton>("BBanuluj"), Qt::LeftButton); }},
        {"Esc", [](DialogTest& t) { QTest::keyClick(t.Edit("E_DatabaseDir"), Qt::Key_Escape); }},
        {"close command", [](DialogTest& t) { t.dialog->close(); }},
    };
    CreateVrlKey();
    for (const Way& way : ways) {
        Open(kLocal);
        Edit("E_DatabaseDir")->setText("/inna");
        dialog->SaveData(); // what the Test command does first
        Edit("E_DatabaseDir")->setText("/jeszcze-inna");
        dialog->SaveData(); // a second tentative save keeps the first backup
        ASSERT_TRUE(BackupExists());
        EXPECT_EQ(Key("DATABASE_DIR"), "/jeszcze-inna");
        way.close(*this);
        EXPECT_FALSE(dialog->isVisible()) << way.name;
        EXPECT_EQ(ReadWholeFile(file), kLocal) << way.name;
        EXPECT_FALSE(BackupExists()) << way.name;
        EXPECT_EQ(VrlRegistryValue(), "/jeszcze-inna") << way.name;
    }
}

// The system account's password goes into no file the program writes (the settings, their backup,
// the registry store) and into none of its output, on the saving and the restoring path.
TEST_F(DialogTest, TheSystemPasswordIsInNoFileAndNoOutput) {
    const std::string password = "Sys-Kwr-7f3a9Q!";
    ::setenv(platform::kSystemAccountPasswordVariable, password.c_str(), 1);
    ASSERT_EQ(platform::SystemAccountPassword(), password);
    CreateVrlKey();
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    Open(kRemote);
    Edit("E_DatabaseDir")->setText("/srv/nowa");
    dialog->SaveData();
    const std::string backup = BackupExists() ? ReadWholeFile(file + "~") : "";
    QTest::mouseClick(W<QPushButton>("BBzapisz"), Qt::LeftButton);
    Open(nullptr);
    dialog->SaveData();
    QTest::mouseClick(W<QPushButton>("BBanuluj"), Qt::LeftButton);
    const std::string output = ::testing::internal::GetCapturedStdout() + ::testing::internal::GetCapturedStderr();
    ::unsetenv(platform::kSystemAccountPasswordVariable);

    EXPECT_FALSE(backup.empty()) << "the saving path made its backup";
    EXPECT_EQ(backup.find(password), std::string::npos) << "in the backup";
    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(tmp.Path()))
        if (entry.is_regular_file()) {
            ++files;
            EXPECT_EQ(ReadWholeFile(entry.path()).find(password), std::string::npos) << entry.path();
        }
    EXPECT_GE(files, 2) << "baza.set and the registry store were written";
    EXPECT_EQ(output.find(password), std::string::npos) << "in the program's output";
    for (const TRecordedWindow& w : ui.Windows)
        EXPECT_EQ((w.Tresc + w.OpisyDodatkowe).find(password), std::string::npos) << "in a message";
}

TEST_F(DialogTest, ClosingWithoutAnySaveLeavesEverythingAlone) {
    Open(kLocal);
    Edit("E_DatabaseDir")->setText("/inna");
    QTest::mouseClick(W<QPushButton>("BBanuluj"), Qt::LeftButton);
    EXPECT_EQ(ReadWholeFile(file), kLocal);
    EXPECT_FALSE(BackupExists());
}

TEST_F(DialogTest, NeitherEnterInAnEditBoxNorPomocDoAnything) {
    Open(kLocal);
    QTest::keyClick(Edit("E_DatabaseDir"), Qt::Key_Return);
    QTest::keyClick(Edit("E_SerwerName"), Qt::Key_Enter);
    QTest::mouseClick(W<QPushButton>("BBpomoc"), Qt::LeftButton);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->WasBackup());
    EXPECT_EQ(ReadWholeFile(file), kLocal);
    EXPECT_TRUE(ui.Windows.empty());
    EXPECT_TRUE(ui.ErrorBoxes.empty());
}

// After a good load or a failed one alike, a failing "&Ok" shows its box and the dialog stays open.
TEST_F(DialogTest, AnUnwritableSettingsFileIsReportedAndOkKeepsTheDialogOpen) {
    for (const bool loaded : {true, false}) {
        ui.ErrorBoxes.clear();
        fs::remove_all(file);
        if (!loaded)
            fs::create_directory(file); // "Błąd czytania ustawień..." at the start
        Open(loaded ? kLocal : nullptr);
        // A directory where the file was: no process, not even root's, can write the file now.
        fs::remove_all(file);
        fs::create_directory(file);
        QTest::mouseClick(W<QPushButton>("BBzapisz"), Qt::LeftButton);
        ASSERT_EQ(ui.ErrorBoxes.size(), 1u) << loaded;
        EXPECT_EQ(ui.ErrorBoxes[0], "Unable to write to " + file) << loaded;
        EXPECT_TRUE(dialog->isVisible()) << loaded;
        // The confirmation did not happen: a later close must still put a backup back.
        EXPECT_EQ(dialog->RestoreNeed(), loaded) << loaded;
    }
}

TEST_F(DialogTest, AFailedOkStillRestoresTheBackupOnClose) {
    CreateVrlKey();
    Open(kLocal);
    dialog->SaveData();
    ASSERT_TRUE(BackupExists());
    // The next save fails on its first key: the backup must survive it.
    fs::remove(file);
    fs::create_directory(file);
    QTest::mouseClick(W<QPushButton>("BBzapisz"), Qt::LeftButton);
    ASSERT_EQ(ui.ErrorBoxes.size(), 1u);
    fs::remove(file);
    QTest::mouseClick(W<QPushButton>("BBanuluj"), Qt::LeftButton);
    EXPECT_EQ(ReadWholeFile(file), kLocal);
}

TEST_F(DialogTest, AnUnreadableSettingsFileShowsTheMessageAndTheDesign) {
    fs::create_directory(file);
    Open(nullptr);
    ASSERT_EQ(ui.Windows.size(), 1u);
    EXPECT_EQ(ui.Windows[0].Rodzaj, kBlad);
    EXPECT_EQ(ui.Windows[0].Tresc.rfind("Błąd czytania ustawień dostępu do bazy danych.\r", 0), 0u);
    EXPECT_TRUE(ui.ErrorBoxes.empty()); // the silent abort is never shown
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->WasBackup());
    EXPECT_FALSE(dialog->RestoreNeed());
    // The controls as designed.
    EXPECT_TRUE(W<QRadioButton>("RB_lokal")->isChecked());
    for (const char* name : {"E_SerwerName", "E_DatabaseDir", "E_SharedDir", "E_ProfileDir"}) {
        EXPECT_EQ(Text(name), "") << name;
        EXPECT_TRUE(Edit(name)->isEnabled()) << name;
    }
    EXPECT_EQ(W<QComboBox>("CB_NetProtocol")->currentIndex(), -1);
    EXPECT_EQ(W<QComboBox>("CB_DatabaseFileExt")->currentIndex(), -1);
    EXPECT_FALSE(W<QCheckBox>("CB_ProfileDir")->isChecked());
}

TEST_F(DialogTest, F6InAnEditBoxOpensTheDirectorySelectionOfItsPicker) {
    Open(kLocal);
    answers = {std::string("/wybrany/baza"), std::nullopt, std::string("/wybrany/wsp")};
    PressF6("E_DatabaseDir");
    EXPECT_EQ(Text("E_DatabaseDir"), "/wybrany/baza");
    PressF6("E_DatabaseDir"); // cancelled: the text stays
    EXPECT_EQ(Text("E_DatabaseDir"), "/wybrany/baza");
    PressF6("E_SharedDir");
    EXPECT_EQ(Text("E_SharedDir"), "/wybrany/wsp");
    EXPECT_EQ(Text("E_ProfileDir"), "/wybrany/wsp"); // through E_SharedDirChange
    EXPECT_EQ(starts, (std::vector<std::string>{"/dane/baza", "/wybrany/baza", "/dane/wsp"}));
    // Only F6 itself, and not for the disabled profile picker.
    PressF6("E_DatabaseDir", Qt::ShiftModifier);
    PressF6("E_ProfileDir");
    EXPECT_EQ(starts.size(), 3u);
    // The key is not consumed: the edit box still gets it, ignores it, and so it reaches the panel.
    struct TKeysSeen : QObject {
        std::vector<int> Keys;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::KeyPress)
                Keys.push_back(static_cast<QKeyEvent*>(e)->key());
            return false;
        }
    } panel;
    W<QWidget>("Panel1")->installEventFilter(&panel);
    answers = {std::nullopt};
    PressF6("E_DatabaseDir");
    EXPECT_EQ(starts.size(), 4u); // the picker acted on it
    EXPECT_EQ(panel.Keys, std::vector<int>{Qt::Key_F6});
}

TEST_F(DialogTest, F6DoesNothingWhileThePickerIsDisabled) {
    Open(kRemote);
    answers = {std::string("/nie")};
    PressF6("E_DatabaseDir");
    EXPECT_TRUE(starts.empty());
    EXPECT_EQ(Text("E_DatabaseDir"), "/srv/baza");
    // A click on the disabled picker does nothing either.
    dialog->SB_DatabaseDirClick();
    EXPECT_TRUE(starts.empty());
}

TEST_F(DialogTest, ThePlatformSelectionStartsAtTheTextAndReturnsTheChosenDirectory) {
    const fs::path start = fs::canonical(tmp.Path());
    fs::create_directory(start / "wybrany");
    QString seen;
    WhenModal([&](QWidget* modal) {
        auto* dlg = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dlg, nullptr);
        seen = dlg->directory().absolutePath();
        EXPECT_EQ(dlg->fileMode(), QFileDialog::Directory);
        EXPECT_TRUE(dlg->testOption(QFileDialog::ReadOnly)); // no folder is made from it
        SaveShot(dlg, "directory-selection");
        dlg->selectFile(QString::fromStdString((start / "wybrany").string()));
        static_cast<QDialog*>(dlg)->accept();
    });
    EXPECT_EQ(TfLokalizacjaBazy::SelectDirectory(nullptr, start.string()), (start / "wybrany").string());
    EXPECT_EQ(seen.toStdString(), start.string());

    WhenModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    EXPECT_EQ(TfLokalizacjaBazy::SelectDirectory(nullptr, start.string()), std::nullopt);
}

TEST(Program, ExceptionsOfEventHandlersStopAtTheApplicationsTopLevel) {
    struct TThrower : QObject {
        std::function<void()> what;
        bool event(QEvent* e) override {
            if (e->type() == QEvent::User)
                what();
            return QObject::event(e);
        }
    } thrower;
    TFakeUi ui;
    thrower.what = [] { throw Exception("Coś poszło nie tak"); };
    QEvent event(QEvent::User);
    QCoreApplication::sendEvent(&thrower, &event);
    thrower.what = [] { Abort(); };
    QCoreApplication::sendEvent(&thrower, &event);
    EXPECT_EQ(ui.ErrorBoxes, (std::vector<std::string>{"Coś poszło nie tak"}));
}

TEST(Program, TheDefaultErrorBoxIsCaptionedWithTheApplicationTitle) {
    TQtUserInterface port;
    std::string caption, text;
    WhenModal([&](QWidget* modal) {
        caption = modal->windowTitle().toStdString();
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            text = box->text().toStdString();
        SaveShot(modal, "error-box");
        qobject_cast<QDialog*>(modal)->accept();
    });
    ShowErrorBox("Unable to write to /opt/zelwan/baza.set");
    EXPECT_EQ(caption, kApplicationTitle);
    EXPECT_EQ(text, "Unable to write to /opt/zelwan/baza.set");
}

// Run by the next test in a copy of this program that sits alone in a directory of its own.
TEST(CopiedProgram, DISABLED_SavesBesideItself) {
    TTempDir reg;
    UsePrivateRegistry(reg);
    TFakeUi ui;
    const std::string besideMe = platform::ExeDir() + "/baza.set";
    WriteWholeFile(besideMe, "[MAIN]\nREMOTE=1\nSERWER_NAME=kopia\n");
    TfLokalizacjaBazy dialog;
    dialog.show();
    ASSERT_EQ(dialog.Settings()->FileName(), besideMe);
    auto* server = Child<QLineEdit>(&dialog, "E_SerwerName");
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(server->text().toStdString(), "kopia");
    server->setText("zapisany");
    QTest::mouseClick(Child<QPushButton>(&dialog, "BBzapisz"), Qt::LeftButton);
    EXPECT_NE(ReadWholeFile(besideMe).find("SERWER_NAME=zapisany"), std::string::npos);
    EXPECT_TRUE(ui.ErrorBoxes.empty());
}

TEST(CopiedProgram, ReadsAndWritesTheBazaSetBesideTheCopy) {
    TTempDir tmp;
    const fs::path alone = tmp.Path() / "alone";
    fs::create_directories(alone);
    fs::create_directories(tmp.Path() / "elsewhere");
    fs::copy_file(platform::ExeFileName(), alone / "app_tests");
    QProcess copy;
    copy.setWorkingDirectory(QString::fromStdString((tmp.Path() / "elsewhere").string()));
    copy.start(
        QString::fromStdString((alone / "app_tests").string()),
        {"--gtest_also_run_disabled_tests", "--gtest_filter=CopiedProgram.DISABLED_SavesBesideItself"});
    ASSERT_TRUE(copy.waitForFinished(60000));
    EXPECT_EQ(copy.exitCode(), 0) << copy.readAll().toStdString();
    EXPECT_NE(ReadWholeFile((alone / "baza.set").string()).find("SERWER_NAME=zapisany"), std::string::npos);
}
