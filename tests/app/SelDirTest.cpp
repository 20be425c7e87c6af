#include "AppTestUtil.h"

#include "FakeUi.h"
#include "TestUtil.h"
#include "core/UiPort.h"
#include "ui/DirChooserWidgets.h"
#include "ui/QtUserInterface.h"
#include "ui/SelDir.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <filesystem>

namespace fs = std::filesystem;
using namespace platform;

namespace {

constexpr std::int64_t MB = 1048576;

// Drives made of directories of the test: "good" takes data, "cd" is a CD-ROM, "full" a fixed
// drive with less than a megabyte free; the root file system comes last.
class ChooserTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* d : {"good", "cd", "full"})
            fs::create_directories(base / d);
        fs::create_directories(base / "good" / "dane" / "firma");
        drives.Add(Dir("cd"), dtCdRom, 600 * MB);
        drives.Add(Dir("full"), dtFixed, MB - 1);
        drives.Add(Dir("good"), dtFixed, 10 * MB);
        drives.Add("/", dtFixed, 0);
    }
    std::string Dir(const std::string& rel) const { return (base / rel).string(); }
    std::vector<std::string> Messages() const {
        std::vector<std::string> texts;
        for (const auto& w : ui.Windows)
            texts.push_back(w.Tresc);
        return texts;
    }
    // The chooser as SelDir sets it up, shown but not modal, so the test can drive it.
    TSelDir& Open(const std::string& katalog, bool tworz) {
        form = std::make_unique<TSelDir>();
        form->Prepare(katalog, tworz, "Katalog serwera", "Wskaż katalog");
        form->show();
        return *form;
    }
    QLineEdit* DirName() { return Child<QLineEdit>(form.get(), "DirName"); }
    TDirListBox* Tree() { return Child<TDirListBox>(form.get(), "DirListBox"); }
    TDriveComboBox* Drives() { return Child<TDriveComboBox>(form.get(), "NapedCombo"); }
    void ChooseDrive(const std::string& drive) {
        TDriveComboBox* combo = Drives();
        const int index = combo->findText(QString::fromStdString(drive));
        ASSERT_GE(index, 0) << drive;
        combo->setCurrentIndex(index);
        emit combo->activated(index); // as the user's choice in the list does
    }
    void ClickOk() { QTest::mouseClick(Child<QPushButton>(form.get(), "ButtonOK"), Qt::LeftButton); }

    TTempDir tmp;
    fs::path base = fs::canonical(tmp.Path());
    TFakeDrives drives;
    TFakeUi ui;
    std::unique_ptr<TSelDir> form;
};

} // namespace

TEST_F(ChooserTest, ValidDriveExplainsEveryRefusalOnlyWhenAsked) {
    struct Row {
        const char* name;
        TDriveType type;
        std::int64_t free;
        const char* opcje;
        bool valid;
        const char* message; // empty: no window
    } rows[] = {
        {"fixed", dtFixed, 5 * MB, "+k", true, ""},
        {"fixed, exactly 1 MB", dtFixed, MB, "+k", true, ""},
        {"fixed, a byte short", dtFixed, MB - 1, "+k", false,
         "Pojemność dysku mniejsza od wymaganej tzn. 1MB"},
        {"fixed, quiet", dtFixed, 0, "-k", false, ""},
        {"remote", dtRemote, 2 * MB, "+k", true, ""},
        {"remote, full", dtRemote, 0, "x+k", false, "Pojemność dysku mniejsza od wymaganej tzn. 1MB"},
        {"removable", dtRemovable, 3 * MB, "+k", true, ""},
        {"removable, full", dtRemovable, 0, "+k", false,
         "Dysk wymienialny o pojemności mniejszej niż minimalna wymagana tzn. 1MB"},
        {"CD-ROM", dtCdRom, 600 * MB, "+k", false, "Dysk jest CD-ROMem."},
        {"RAM disk", dtRamDisk, 600 * MB, "+k", false, "Dysk jest RAM dyskiem."},
        {"unknown", dtUnknown, 600 * MB, "+k", false, "Nie można określić typu dysku."},
        {"no root", dtNoRoot, 0, "+k", false, "Dysk nie istnieje."},
        {"+k after 20 characters", dtCdRom, 0, "12345678901234567890+k", false, ""},
        {"+k ending at 20", dtCdRom, 0, "123456789012345678+k", false, "Dysk jest CD-ROMem."},
    };
    for (const Row& r : rows) {
        TTempDir d;
        TFakeDrives fake;
        fake.Add(d.Path().string(), r.type, r.free);
        TFakeUi quiet;
        EXPECT_EQ(ValidDrive((d.Path() / "sub").string(), r.opcje), r.valid) << r.name;
        if (*r.message) {
            ASSERT_EQ(quiet.Windows.size(), 1u) << r.name;
            EXPECT_EQ(quiet.Windows[0].Tresc, r.message) << r.name;
            EXPECT_EQ(quiet.Windows[0].Rodzaj, kBlad) << r.name;
            EXPECT_EQ(quiet.Windows[0].Skala, 100) << r.name;
        } else {
            EXPECT_TRUE(quiet.Windows.empty()) << r.name;
        }
    }
    // A path on no drive at all.
    EXPECT_EQ(DriveType(""), dtNoRoot);
}

TEST_F(ChooserTest, DriveSpaceIsInWholeMegabytes) {
    EXPECT_EQ(DriveSpace(Dir("good")), 10);
    EXPECT_EQ(DriveSpace(Dir("full")), 0);
    TFakeDrives none;
    EXPECT_EQ(DriveSpace("/"), 0); // cannot be read
    TTempDir big;
    none.Add(big.Path().string(), dtFixed, 5 * MB + MB / 2);
    EXPECT_EQ(DriveSpace(big.Path().string()), 5);
}

TEST_F(ChooserTest, DostepnyDyskIsTheFirstUsableDriveAndAsksNothing) {
    EXPECT_EQ(DostepnyDysk(), Dir("good"));
    EXPECT_TRUE(ui.Windows.empty());
    {
        // A drive whose size cannot be read is passed over, even with space.
        TFakeDrives odd;
        odd.Add(Dir("full"), dtFixed, 50 * MB, -1);
        odd.Add(Dir("good"), dtFixed, 50 * MB);
        EXPECT_EQ(DostepnyDysk(), Dir("good"));
    }
    TFakeDrives unusable;
    unusable.Add(Dir("cd"), dtCdRom, 600 * MB);
    EXPECT_EQ(DostepnyDysk(), "");
}

TEST_F(ChooserTest, DesignGeometry) {
    Open("", true);
    EXPECT_EQ(form->size(), QSize(392, 276));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    struct Row {
        const char* name;
        QRect rect;
    } rows[] = {{"Panel1", {0, 0, 392, 241}},      {"DirName", {8, 24, 377, 21}},
                {"DirListBox", {8, 72, 377, 117}}, {"NapedCombo", {8, 212, 377, 19}},
                {"ButtonOK", {236, 248, 75, 25}},  {"AnulujButton", {316, 248, 75, 25}}};
    for (const Row& r : rows)
        EXPECT_EQ(Child<QWidget>(form.get(), r.name)->geometry(), r.rect) << r.name;
    EXPECT_EQ(Child<QLabel>(form.get(), "FolderLabel")->pos(), QPoint(8, 8));
    EXPECT_EQ(Child<QLabel>(form.get(), "Label2")->pos(), QPoint(8, 56));
    EXPECT_EQ(Child<QLabel>(form.get(), "Label1")->pos(), QPoint(8, 196));
    EXPECT_EQ(Child<QLabel>(form.get(), "Label1")->text().toStdString(), "Napęd");
    EXPECT_TRUE(Child<QPushButton>(form.get(), "ButtonOK")->isDefault());
    EXPECT_EQ(Child<QPushButton>(form.get(), "AnulujButton")->text().toStdString(), "Anuluj");
    // The caller's title and label text.
    EXPECT_EQ(form->windowTitle().toStdString(), "Wskaż katalog");
    EXPECT_EQ(Child<QLabel>(form.get(), "FolderLabel")->text().toStdString(), "Katalog serwera");
    EXPECT_EQ(Child<QLabel>(form.get(), "FolderLabel")->width(),
              Child<QLabel>(form.get(), "FolderLabel")->sizeHint().width());
    // Tab order: tree, drive list, name.
    EXPECT_EQ(NextTabStop(Tree())->objectName().toStdString(), "NapedCombo");
    EXPECT_EQ(NextTabStop(Drives())->objectName().toStdString(), "DirName");
}

TEST_F(ChooserTest, WithoutKatalogTheNameFollowsTheTreeAndAnulujGivesEmpty) {
    {
        // Started on the first usable drive: the tree stays, the name box starts empty.
        const TWorkIn work(base / "good");
        Open("", false);
        EXPECT_FALSE(DirName()->isEnabled());
        EXPECT_EQ(Tree()->Directory(), Dir("good"));
        EXPECT_EQ(DirName()->text().toStdString(), "");
    }
    // Started elsewhere: the tree goes to the first usable drive and the name shows it.
    Open("", false);
    EXPECT_EQ(Drives()->Drive(), Dir("good"));
    EXPECT_EQ(Tree()->Directory(), Dir("good"));
    EXPECT_EQ(DirName()->text().toStdString(), Dir("good"));
    // A double click (or Enter) on a subdirectory moves the tree; the name follows.
    QTreeWidgetItem* dane = nullptr;
    for (QTreeWidgetItem* item : Tree()->findItems("dane", Qt::MatchExactly | Qt::MatchRecursive))
        dane = item;
    ASSERT_NE(dane, nullptr);
    emit Tree()->itemActivated(dane, 0);
    EXPECT_EQ(DirName()->text().toStdString(), Dir("good/dane"));
    QTest::mouseClick(Child<QPushButton>(form.get(), "AnulujButton"), Qt::LeftButton);
    EXPECT_EQ(form->result(), QDialog::Rejected);

    // Through the modal call: Anuluj gives back the empty Katalog.
    WhenModal(
        [](QWidget* modal) { QTest::mouseClick(Child<QPushButton>(modal, "AnulujButton"), Qt::LeftButton); });
    EXPECT_EQ(TSelDir::Execute("", false, "Katalog", "Tytuł"), "");
}

TEST_F(ChooserTest, AMissingKatalogStaysInTheNameAndOkReturnsItUnchanged) {
    // The tree starts where the process is; the first usable drive is that drive already.
    const TWorkIn work(base / "good" / "dane");
    const std::string missing = Dir("good/nie/ma");
    WhenModal([&](QWidget* modal) {
        EXPECT_EQ(Child<TDirListBox>(modal, "DirListBox")->Directory(), Dir("good/dane"));
        EXPECT_EQ(Child<QLineEdit>(modal, "DirName")->text().toStdString(), missing);
        QTest::mouseClick(Child<QPushButton>(modal, "ButtonOK"), Qt::LeftButton);
    });
    const std::string chosen = TSelDir::Execute(missing, false, "Katalog", "Tytuł");
    EXPECT_EQ(chosen, missing);
}

TEST_F(ChooserTest, AMissingKatalogStaysInTheNameWhenTheTreeHadToChangeDrives) {
    const TWorkIn work(base / "cd"); // not the first usable drive: the tree moves to that one
    Open(Dir("good/nowy"), true);
    EXPECT_EQ(Tree()->Directory(), Dir("good"));
    EXPECT_EQ(form->DirNameText(), Dir("good/nowy"));
}

TEST_F(ChooserTest, AnExistingKatalogMovesTheTreeAndOkReturnsTheTreesChoice) {
    Open(Dir("good/dane"), false);
    EXPECT_EQ(Tree()->Directory(), Dir("good/dane"));
    Tree()->SetDirectory(Dir("good/dane/firma"));
    EXPECT_EQ(form->DirNameText(), Dir("good/dane/firma"));
    SaveShot(form.get(), "seldir-choose");
    // Another drive in the list moves the tree to it outside the Tworz mode, even a CD-ROM.
    ChooseDrive(Dir("cd"));
    EXPECT_EQ(Tree()->Directory(), Dir("cd"));
    EXPECT_TRUE(ui.Windows.empty());
}

TEST_F(ChooserTest, TworzRefusesABadDriveInTheListAndKeepsTheLastGoodOne) {
    Open(Dir("good/dane"), true);
    EXPECT_TRUE(DirName()->isEnabled());
    EXPECT_EQ(form->LastDrive, Dir("good"));
    ChooseDrive(Dir("cd"));
    EXPECT_EQ(Messages(), (std::vector<std::string>{"Dysk jest CD-ROMem."}));
    EXPECT_EQ(Drives()->Drive(), Dir("good"));
    EXPECT_EQ(Tree()->Directory(), Dir("good/dane"));
    ChooseDrive(Dir("full"));
    EXPECT_EQ(Messages().back(), "Pojemność dysku mniejsza od wymaganej tzn. 1MB");
    EXPECT_EQ(Drives()->Drive(), Dir("good"));
    ChooseDrive("/");
    EXPECT_EQ(Messages().back(), "Pojemność dysku mniejsza od wymaganej tzn. 1MB");
    EXPECT_EQ(form->LastDrive, Dir("good"));
}

TEST_F(ChooserTest, TworzOkChecksTheDriveAndOffersToCreateTheFolder) {
    Open(Dir("good"), true);
    SaveShot(form.get(), "seldir-tworz");

    // A name on a refused drive: explained, and the chooser stays.
    DirName()->setText(QString::fromStdString(Dir("cd/nowy")));
    ClickOk();
    EXPECT_EQ(Messages(), (std::vector<std::string>{"Dysk jest CD-ROMem."}));
    EXPECT_TRUE(form->isVisible());

    // A missing folder, the user says no: nothing is made, the chooser stays.
    DirName()->setText(QString::fromStdString(Dir("good/nowy/folder")));
    ui.Answers = {kNie};
    ClickOk();
    EXPECT_EQ(Messages().back(), "Utworzyć folder?");
    EXPECT_EQ(ui.Windows.back().Rodzaj, kPytanie);
    EXPECT_FALSE(fs::exists(base / "good" / "nowy"));
    EXPECT_TRUE(form->isVisible());

    // Yes: every missing level is made and the chooser closes with it.
    ui.Answers = {kTak};
    ClickOk();
    EXPECT_TRUE(fs::is_directory(base / "good" / "nowy" / "folder"));
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_EQ(form->DirNameText(), Dir("good/nowy/folder"));
}

TEST_F(ChooserTest, TworzOkWithAnExistingFolderClosesWithoutAsking) {
    WhenModal(
        [](QWidget* modal) { QTest::mouseClick(Child<QPushButton>(modal, "ButtonOK"), Qt::LeftButton); });
    EXPECT_EQ(TSelDir::Execute(Dir("good/dane"), true, "Katalog", "Tytuł"), Dir("good/dane"));
    EXPECT_TRUE(ui.Windows.empty());
}

TEST_F(ChooserTest, TworzNamesThatCannotBeMade) {
    Open(Dir("good"), true);
    // A relative name is left alone by the folder maker: the chooser's own message, focus on the name.
    const TWorkIn work(base / "good");
    DirName()->setText("dane2");
    ui.Answers = {kTak};
    ClickOk();
    EXPECT_EQ(Messages().back(), "Nie można utworzyć folderu o takiej nazwie!");
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->focusWidget(), DirName());
    EXPECT_FALSE(fs::exists(base / "good" / "dane2"));

    // Below a file: the folder maker's error reaches the default error box, the chooser stays.
    WriteWholeFile(Dir("good/plik"), "x");
    const std::string below = Dir("good/plik/sub");
    DirName()->setText(QString::fromStdString(below));
    ui.Answers = {kTak};
    ClickOk();
    EXPECT_EQ(ui.ErrorBoxes, (std::vector<std::string>{"Nie można utworzyć katalogu: " + below}));
    EXPECT_TRUE(form->isVisible());
}

TEST_F(ChooserTest, NoUsableDriveLeavesTheDriveListEmpty) {
    TFakeDrives none;
    none.Add(Dir("cd"), dtCdRom, 600 * MB);
    Open("", false);
    EXPECT_EQ(Drives()->currentIndex(), -1);
    EXPECT_EQ(Drives()->Drive(), "");
    EXPECT_TRUE(ui.Windows.empty());
}

TEST_F(ChooserTest, ThePortsSelDirOpensThisChooser) {
    TQtUserInterface port;
    InstallSelDirHook();
    bool sawChooser = false;
    WhenModal([&](QWidget* modal) {
        sawChooser = qobject_cast<TSelDir*>(modal) != nullptr;
        EXPECT_EQ(modal->windowTitle().toStdString(), "Katalog instalacji serwera");
        QTest::mouseClick(Child<QPushButton>(modal, "AnulujButton"), Qt::LeftButton);
    });
    EXPECT_EQ(SelDir(Dir("good"), false, "Folder", "Katalog instalacji serwera"), Dir("good"));
    EXPECT_TRUE(sawChooser);
}

TEST(Chooser, ShotsOnThisMachinesDrives) {
    TFakeUi ui;
    TSelDir plain;
    plain.Prepare("/usr/share", false, "Nazwa Folderu", "Wybierz folder");
    plain.show();
    SaveShot(&plain, "seldir-plain-real-drives");
    TSelDir tworz;
    tworz.Prepare("/usr/share", true, "Nazwa Folderu", "Wybierz folder");
    tworz.show();
    SaveShot(&tworz, "seldir-tworz-real-drives");
    EXPECT_FALSE(Child<TDriveComboBox>(&plain, "NapedCombo")->Drive().empty());
}
