#include "ui/OknoKomunikat.h"

#include "core/KwUtils.h"
#include "ui/BitBtnKom.h"
#include "ui/Fonts.h"
#include "ui/KwKonwerterTextToRtf.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>
#include <QTimer>

#include <cmath>

namespace {

constexpr int kModalResultNo = 7; // the platform's code for "No"; it only ends the modal loop

struct TButtonOpis {
    TBitBtnKind Kind;
    const char* Caption;
    int Width;
};

TButtonOpis OpisPrzycisku(TKomButtonType type) {
    switch (type) {
    case kTak:
        return {bkYes, "&Tak", 65};
    case kNie:
        return {bkCancel, "&Nie", 65};
    case kAnuluj:
        return {bkCancel, "&Anuluj", 70};
    case kOK:
        return {bkOK, "&OK", 65};
    case kPomoc:
        return {bkHelp, "&Pomoc", 70};
    case kUsun:
        return {bkCancel, "&Usuń", 65};
    case kTakWsz:
        return {bkAll, "T&ak na wszystkie", 130};
    case kNieWsz:
        return {bkCancel, "Nie na &wszystkie", 130};
    case kAnulujWsz:
        return {bkCancel, "A&nuluj wszystko", 130};
    case kArchiw:
        return {bkCustom, "A&rchiwizuj", 100};
    default:
        return {bkCustom, "", 0};
    }
}

TBitBtnKind KindOfIcon(TKomKDodIkona icon) {
    switch (icon) {
    case kiCancel:
        return bkCancel;
    case kiAll:
        return bkAll;
    case kiClose:
        return bkClose;
    case kiHelp:
        return bkHelp;
    case kiIgnore:
        return bkIgnore;
    case kiNo:
        return bkNo;
    case kiOk:
        return bkOK;
    case kiRetry:
        return bkRetry;
    case kiBrak:
        break;
    }
    return bkCustom;
}

QString KindCaption(TKomRodzajOkna rodzaj) {
    switch (rodzaj) {
    case kPytanie:
        return QStringLiteral("Pytanie");
    case kBlad:
        return QStringLiteral("Błąd");
    case kUwaga:
        return QStringLiteral("Uwaga");
    case kInformacja:
        return QStringLiteral("Informacja");
    }
    return {};
}

QStyle::StandardPixmap KindIcon(TKomRodzajOkna rodzaj) {
    switch (rodzaj) {
    case kPytanie:
        return QStyle::SP_MessageBoxQuestion;
    case kBlad:
        return QStyle::SP_MessageBoxCritical;
    case kUwaga:
        return QStyle::SP_MessageBoxWarning;
    case kInformacja:
        return QStyle::SP_MessageBoxInformation;
    }
    return QStyle::SP_MessageBoxInformation;
}

// Extra weight of a line for its tabs: the tabs stand for wide gaps in the designs' texts.
int TabBonus(const QString& line, int three, int two, int one) {
    if (line.contains(QLatin1String("\t\t\t")))
        return three;
    if (line.contains(QLatin1String("\t\t")))
        return two;
    if (line.contains(u'\t'))
        return one;
    return 0;
}

} // namespace

TOknoKomunikat::TOknoKomunikat(const std::string& tresc, const std::vector<TKomButtonType>& przyciski,
                               TKomButtonType domyslny, TKomRodzajOkna rodzaj,
                               const std::string& opisyDodatkowe, const std::string& opisPotwierdzenia,
                               int czasOdliczania, const TArrayKDodIkony* ikony, int skala)
    : QDialog(nullptr) {
    // A size factor of zero or less would leave buttons nobody can press in a window that only a
    // button can close.
    if (skala <= 0)
        skala = 100;
    auto T = [skala](int x) { return skala * x / 100; };

    setObjectName(QStringLiteral("OknoKomunikat"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(true);
    setFont(DesignFont(QStringLiteral("MS Sans Serif"), 8));

    // Panels, top to bottom: message area, confirmation row, button area.
    FPanelTresc = new QWidget(this);
    FPanelTresc->setObjectName(QStringLiteral("PanelTresc"));
    FIkona = new QLabel(FPanelTresc);
    FIkona->setObjectName(QStringLiteral("Ikona"));
    FRE = new QTextEdit(FPanelTresc);
    FRE->setObjectName(QStringLiteral("RE"));
    FPanelPotwierdzenie = new QWidget(this);
    FPanelPotwierdzenie->setObjectName(QStringLiteral("PanelPotwierdzenie"));
    wCheckBox = new QCheckBox(FPanelPotwierdzenie);
    wCheckBox->setObjectName(QStringLiteral("wCheckBox"));
    FPanelPrzyciski = new QWidget(this);
    FPanelPrzyciski->setObjectName(QStringLiteral("PanelPrzyciski"));
    FRzadPrzyciskow = new QWidget(FPanelPrzyciski);
    FRzadPrzyciskow->setObjectName(QStringLiteral("RzadPrzyciskow"));

    FRE->setReadOnly(true);
    FRE->setAcceptRichText(false);
    FRE->setFrameStyle(QFrame::NoFrame);
    FRE->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FRE->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FRE->setLineWrapMode(QTextEdit::NoWrap);
    FRE->setFocusPolicy(Qt::ClickFocus);
    FRE->viewport()->setCursor(Qt::ArrowCursor);
    FRE->move(55, 10);

    const int panelPotwierdzeniaH = 24;
    const int panelPrzyciskowH = T(45);
    wCheckBox->move(55, 3);
    wCheckBox->setText(QString::fromStdString(opisPotwierdzenia));
    wCheckBox->hide();

    if (czasOdliczania >= 1) {
        FTimer = new QTimer(this);
        FTimer->setObjectName(QStringLiteral("Timer"));
        FTimer->setInterval(1000);
        connect(FTimer, &QTimer::timeout, this, &TOknoKomunikat::Timer);
        czas = czasOdliczania;
    }

    // Buttons, left to right.
    const bool maPotwierdzenie = !opisPotwierdzenia.empty();
    int x = 0;
    int dodNr = 0;
    const QFontMetrics fm(font());
    for (std::size_t i = 0; i < przyciski.size(); ++i) {
        const TKomButtonType type = przyciski[i];
        auto* b = new TBitBtnKom(FRzadPrzyciskow);
        b->setObjectName(QStringLiteral("Przycisk%1").arg(i));
        connect(b, &QPushButton::clicked, this, [this, b] { klik(b); });
        b->move(x, 14);
        x += 10;
        int width;
        if (type >= kDod1 && type <= kDod4) {
            ++dodNr;
            if (ikony && ikony->size() >= static_cast<std::size_t>(dodNr))
                b->SetKind(KindOfIcon((*ikony)[dodNr - 1]));
            // The n-th extra button takes the n-th caption; a missing one leaves it blank.
            const QString text = QString::fromStdString(GetNazwaPola(opisyDodatkowe, dodNr, ';'));
            b->setText(text);
            const int textW = fm.horizontalAdvance(text);
            width = b->Glyph().isNull() ? textW + 20 : textW + b->Glyph().width() + 10;
            if (width > 300)
                width = 300;
        } else {
            const TButtonOpis opis = OpisPrzycisku(type);
            if (type == kArchiw)
                b->SetGlyph(KomGlyph(QStringLiteral("NBARCHIW")));
            else
                b->SetKind(opis.Kind);
            b->setText(QString::fromUtf8(opis.Caption));
            width = T(opis.Width);
            if (maPotwierdzenie && (type == kTak || (type == kOK && przyciski.size() == 1)))
                FCheckBoxShown = true;
        }
        b->resize(width, T(25));
        b->SetTag(type);
        b->setDefault(false);
        x += width;
        if (type == domyslny && !button) {
            button = b;
            odpowiedz = type;
        }
    }
    FDomyslnaOdpowiedz = odpowiedz;
    if (button)
        button->setFocus();

    const int W = x - 10;

    QString caption = KindCaption(rodzaj);
    if (czas > 0)
        caption += QStringLiteral(" %1s").arg(czas);
    setWindowTitle(caption);
    const QIcon icon = style()->standardIcon(KindIcon(rodzaj), nullptr, this);
    setWindowIcon(icon);
    const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    FIkona->setPixmap(icon.pixmap(iconSize, iconSize));
    FIkona->move(10, 10);
    FIkona->resize(iconSize, iconSize);

    FRE->resize(W >= 300 ? W : 300 - 55, FRE->height());
    SizeTextBox(static_cast<int>(przyciski.size()), tresc);

    const int winW = 55 + FRE->width() + 15;
    const int trescH = std::max(FRE->height() + 10, 50);
    FRzadPrzyciskow->setGeometry((winW - W) / 2, 0, W, T(45));

    QPalette pal = FRE->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Button));
    FRE->setPalette(pal);

    wCheckBox->setVisible(FCheckBoxShown);
    wCheckBox->resize(winW - 55, wCheckBox->sizeHint().height());
    const int potwH = FCheckBoxShown ? panelPotwierdzeniaH : 0;
    FPanelPotwierdzenie->setVisible(FCheckBoxShown);

    int winH = trescH + potwH + panelPrzyciskowH;
    int panelTrescH = trescH;
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    if (rodzaj == kInformacja && winH > screen.height() - 100) {
        // A long information text scrolls instead of pushing the buttons off the screen.
        winH = screen.height() - 100;
        panelTrescH = winH - potwH - panelPrzyciskowH;
        FRE->resize(FRE->width(), std::max(panelTrescH - 10, 0));
        FRE->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    }
    FPanelTresc->setGeometry(0, 0, winW, panelTrescH);
    FPanelPotwierdzenie->setGeometry(0, panelTrescH, winW, panelPotwierdzeniaH);
    FPanelPrzyciski->setGeometry(0, panelTrescH + potwH, winW, panelPrzyciskowH);
    setFixedSize(winW, winH);
    move(screen.x() + (screen.width() - winW) / 2, screen.y() + (screen.height() - winH) / 2);

    FRE->installEventFilter(this);
}

TOknoKomunikat::~TOknoKomunikat() = default;

void TOknoKomunikat::SizeTextBox(int n, const std::string& tresc) {
    TkwKonwerterTextToRtf konwerter(nullptr, FRE);
    konwerter.WyswietlZformatowanyTekst(tresc);

    QTextDocument* doc = FRE->document();
    const QFont textFont = FRE->font();

    // The widest line by weight: characters plus an allowance for tabs; ties go to the first.
    QTextBlock widest;
    int bestWeight = -1;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        const QString t = b.text();
        const int weight = static_cast<int>(t.toUcs4().size()) + TabBonus(t, 24, 16, 8);
        if (weight > bestWeight) {
            bestWeight = weight;
            widest = b;
        }
    }

    QFont bold = textFont;
    bold.setBold(true);
    const int H = QFontMetrics(bold).height();

    // The widest line measured character by character, each in its own style.
    int M = 0;
    if (widest.isValid()) {
        for (auto it = widest.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            const QFontMetrics fm(frag.charFormat().font());
            const QString t = frag.text();
            for (qsizetype i = 0; i < t.size(); ++i) {
                if (t[i] == u'\t')
                    continue; // tabs are paid for by the allowance below
                qsizetype len = (t[i].isHighSurrogate() && i + 1 < t.size()) ? 2 : 1;
                M += fm.horizontalAdvance(t.mid(i, len));
                i += len - 1;
            }
        }
        M += TabBonus(widest.text(), 120, 80, 40);
    }
    M += 20;

    const int screenW = QGuiApplication::primaryScreen()->geometry().width();
    const double factor = n <= 1 ? 0.2 : n == 2 ? 0.18 : n == 3 ? 0.16 : 0.14;
    const int m = static_cast<int>(std::nearbyint(screenW * factor)); // halves to even

    if (FRE->width() < M) {
        const int available = screenW - 2 * m - 55 - 10;
        if (available < M)
            FRE->resize(available, FRE->height());
        else if (300 - 55 - 10 < M)
            FRE->resize(M + 5, FRE->height());
    }

    // Wrap at the box's width and count the lines the box shows.
    FRE->setLineWrapMode(QTextEdit::WidgetWidth);
    doc->setTextWidth(FRE->width());
    int lines = 0;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        doc->documentLayout()->blockBoundingRect(b);
        lines += b.layout() ? std::max(b.layout()->lineCount(), 1) : 1;
    }
    // One spare line, as the designs have it; but never less than the laid-out text, since Qt's
    // line pitch can exceed the "MYy" height and long texts would otherwise lose lines.
    const int laidOut = static_cast<int>(std::ceil(doc->size().height()));
    FRE->resize(FRE->width(), std::max(H * (lines + 1), laidOut));
    FRE->moveCursor(QTextCursor::Start);
}

bool TOknoKomunikat::Potwierdzenie() const {
    return !FCheckBoxShown || wCheckBox->isChecked();
}

bool TOknoKomunikat::OknoCloseQuery() const {
    return NacisnietoPrzycick && (odpowiedz != kTak || Potwierdzenie());
}

void TOknoKomunikat::TryClose() {
    if (OknoCloseQuery())
        done(kModalResultNo);
}

void TOknoKomunikat::klik(TBitBtnKom* sender) {
    auto type = static_cast<TKomButtonType>(sender->Tag());
    if (type == kOK && FCheckBoxShown && wCheckBox->isChecked())
        type = kTak;
    odpowiedz = type;
    NacisnietoPrzycick = true;
    TryClose();
}

void TOknoKomunikat::Timer() {
    if (czas <= 0)
        return;
    --czas;
    QString caption = windowTitle();
    const qsizetype blank = caption.indexOf(u' ');
    if (blank >= 0)
        caption = caption.left(blank) + QStringLiteral(" %1s").arg(czas) + caption.mid(blank + 50);
    setWindowTitle(caption);
    if (czas == 0) {
        if (FTimer)
            FTimer->stop();
        // The countdown answers what the default button would.
        odpowiedz = FDomyslnaOdpowiedz;
        NacisnietoPrzycick = true;
        TryClose();
    }
}

void TOknoKomunikat::closeEvent(QCloseEvent* event) {
    if (OknoCloseQuery()) {
        event->accept();
        done(kModalResultNo);
    } else {
        event->ignore();
    }
}

void TOknoKomunikat::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    raise();
    activateWindow();
    if (!FShownOnce) {
        FShownOnce = true;
        QApplication::beep();
        if (FTimer)
            FTimer->start();
    }
}

bool TOknoKomunikat::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FRE && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            // Enter in the text moves to the default button; it does not press it.
            if (button)
                button->setFocus();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

TKomButtonType TOknoKomunikat::KomNew(const std::string& tresc, const std::vector<TKomButtonType>& przyciski,
                                      TKomButtonType domyslny, TKomRodzajOkna rodzaj,
                                      const std::string& opisyDodatkowe, const std::string& opisPotwierdzenia,
                                      int czas, const TArrayKDodIkony* ikony, int skala) {
    if (przyciski.empty())
        return kAnuluj;
    TOknoKomunikat okno(tresc, przyciski, domyslny, rodzaj, opisyDodatkowe, opisPotwierdzenia, czas, ikony,
                        skala);
    okno.exec();
    return okno.odpowiedz;
}
