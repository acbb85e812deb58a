// The main window: fixed 619 x 650 layout (scrolling on a smaller screen), the controls named as
// the main object knows them, the dialogs, progress, drops and the run's summary.
#include "ui/principal.h"
#include "ui/browse.h"
#include "ui/lineview.h"
#include "ui/style.h"
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QTabWidget>
#include <QTranslator>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>

namespace {

const int kWidth = 619;
const int kHeight = 650;
const int kLowerHeight = 292;

const Ctrl kActionButtons[] = {Ctrl::R_SVCFToContacts, Ctrl::R_SVCFToMVCF, Ctrl::R_MVCFToSVCF, Ctrl::R_MyPhonePhoto};

// The path fields: read-only while a run is under way.
const Ctrl kPathFields[] = {Ctrl::E_InputFiles, Ctrl::E_RepDest, Ctrl::E_RepEntree, Ctrl::E_RepPhotos,
                            Ctrl::E_RepLogos};

// What a run leaves usable: Close (which stops it), the labels, the counter and the site link.
// Every other control is disabled while a run is under way.
bool usableDuringRun(Ctrl c) {
    switch (c) {
    case Ctrl::B_Cancel:
    case Ctrl::L_Langue:
    case Ctrl::L_Fichierstraites:
    case Ctrl::L_Log:
    case Ctrl::L_Compteur:
    case Ctrl::M_Compteur:
    case Ctrl::L_Siteweb:
    case Ctrl::R_Action:
        return true;
    default:
        return std::find(std::cbegin(kPathFields), std::cend(kPathFields), c) != std::cend(kPathFields);
    }
}

QFont pixelFont(const QFont& base, int px, bool bold) {
    QFont f = base;
    f.setPixelSize(px);
    f.setBold(bold);
    return f;
}

} // namespace

F_Principal::F_Principal(QWidget* parent) : QWidget(parent), m_p(*this) {
    InitCorvantaResources();
    build();
}

F_Principal::~F_Principal() = default;

void F_Principal::build() {
    setObjectName(QStringLiteral("F_Principal"));
    setWindowTitle(QStringLiteral("Conversion Corvanta version 1.50"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/corvanta.png")));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(kWidth, kHeight);
    // Tahoma where it exists, the platform's sans-serif face elsewhere.
    QFont base(QStringLiteral("Tahoma"));
    base.setStyleHint(QFont::SansSerif);
    base.setPixelSize(11);
    setFont(base);

    // The controls lie on one page of the window's size, which scrolls when the screen is smaller.
    auto* Content = new QWidget;
    Content->setObjectName(QStringLiteral("Content"));
    Content->setFixedSize(kWidth, kHeight);
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("Scroller"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidget(Content);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_scroll);

    // Upper area: the tab control with the outputs and the options.
    auto* Panel1 = new QWidget(Content);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, 0, kWidth, kHeight - kLowerHeight);
    auto* PageLog = new QTabWidget(Panel1);
    m_tabs = PageLog;
    PageLog->setObjectName(QStringLiteral("PageLog"));
    PageLog->setGeometry(6, 6, kWidth - 12, kHeight - kLowerHeight - 8);

    PageLog->addTab(buildLogPage(base), QStringLiteral("Log"));
    PageLog->addTab(buildOptionsPage(), QStringLiteral("Options"));
    PageLog->setCurrentIndex(0);

    // Lower area: the path rows, the action, Run and Close, the counter and the site link.
    auto* Panel2 = new QWidget(Content);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setGeometry(0, kHeight - kLowerHeight, kWidth, kLowerHeight);
    buildPathRows(Panel2);
    buildActionsAndRun(Panel2, base);
    buildRunExtras(Panel2);
    setAcceptDrops(true);
    connectHandlers();
}

// The path rows, one below the other: the button that picks the path, then its field.
void F_Principal::buildPathRows(QWidget* Panel2) {
    const struct {
        Ctrl edit, button;
        const char *editName, *buttonName;
    } rows[] = {{Ctrl::E_InputFiles, Ctrl::B_InputFile, "E_InputFiles", "B_InputFile"},
                {Ctrl::E_RepDest, Ctrl::b_repdest, "E_RepDest", "b_repdest"},
                {Ctrl::E_RepEntree, Ctrl::B_RepEntree, "E_RepEntree", "B_RepEntree"},
                {Ctrl::E_RepPhotos, Ctrl::b_repphotos, "E_RepPhotos", "b_repphotos"},
                {Ctrl::E_RepLogos, Ctrl::B_RepLogos, "E_RepLogos", "B_RepLogos"}};
    int y = 10;
    for (const auto& r : rows) {
        auto* button = new QPushButton(Panel2);
        name(button, r.button, r.buttonName);
        button->setGeometry(10, y, 91, 25);
        auto* edit = new QLineEdit(Panel2);
        name(edit, r.edit, r.editName);
        edit->setGeometry(108, y, 394, 25);
        // A file or folder dropped anywhere goes to the field it belongs in (see dropEvent).
        edit->setAcceptDrops(false);
        y += 30;
    }
}

// Beside the counter: the progress bar; below it Stop and the output folder's button.
void F_Principal::buildRunExtras(QWidget* Panel2) {
    P_Avancement = new QProgressBar(Panel2);
    P_Avancement->setObjectName(QStringLiteral("P_Avancement"));
    P_Avancement->setGeometry(368, 192, 142, 28);
    P_Avancement->setRange(0, 1000);
    P_Avancement->setValue(0);
    P_Avancement->setTextVisible(true);
    B_Stop = new QPushButton(Panel2);
    B_Stop->setObjectName(QStringLiteral("B_Stop"));
    B_Stop->setGeometry(518, 192, 91, 28);
    B_Stop->setEnabled(false);
    B_OuvrirSortie = new QPushButton(Panel2);
    B_OuvrirSortie->setObjectName(QStringLiteral("B_OuvrirSortie"));
    B_OuvrirSortie->setGeometry(368, 228, 241, 28);
    B_OuvrirSortie->setEnabled(false);
}

void F_Principal::name(QWidget* w, Ctrl c, const char* objectName) {
    w->setObjectName(QLatin1String(objectName));
    m_controls.insert(c, w);
}

// The Log page: the processed-files list beside the log.
QWidget* F_Principal::buildLogPage(const QFont& base) {
    auto* TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    auto* L_Fichierstraites = new QLabel(TabSheet1);
    name(L_Fichierstraites, Ctrl::L_Fichierstraites, "L_Fichierstraites");
    L_Fichierstraites->setFont(pixelFont(base, 13, true));
    Memo = new LineView(TabSheet1);
    Memo->setObjectName(QStringLiteral("Memo"));
    Memo->setFixedWidth(230);
    auto* L_Log = new QLabel(QStringLiteral("LOG"), TabSheet1);
    name(L_Log, Ctrl::L_Log, "L_Log");
    L_Log->setFont(pixelFont(base, 13, true));
    M_Log = new LineView(TabSheet1);
    M_Log->setObjectName(QStringLiteral("M_Log"));
    for (LineView* t : {Memo, M_Log})
        t->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    L_Fichierstraites->setBuddy(Memo);
    L_Log->setBuddy(M_Log);
    // Above the log, its errors-only switch and its saving; under the lists, the last run's summary.
    L_Resume = new QLabel(TabSheet1);
    L_Resume->setObjectName(QStringLiteral("L_Resume"));
    L_Resume->setTextInteractionFlags(Qt::TextSelectableByMouse);
    L_Resume->setMinimumWidth(1);
    C_ErreursSeules = new QCheckBox(TabSheet1);
    C_ErreursSeules->setObjectName(QStringLiteral("C_ErreursSeules"));
    B_EnregistrerLog = new QPushButton(TabSheet1);
    B_EnregistrerLog->setObjectName(QStringLiteral("B_EnregistrerLog"));
    auto* logHead = new QHBoxLayout;
    logHead->setSpacing(8);
    logHead->addWidget(L_Log);
    logHead->addStretch(1);
    logHead->addWidget(C_ErreursSeules);
    logHead->addWidget(B_EnregistrerLog);
    // The processed-files list keeps its width; the log takes the rest of the page.
    auto* grid = new QGridLayout(TabSheet1);
    grid->setContentsMargins(6, 4, 6, 6);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);
    grid->addWidget(L_Fichierstraites, 0, 0);
    grid->addLayout(logHead, 0, 1);
    grid->addWidget(Memo, 1, 0);
    grid->addWidget(M_Log, 1, 1);
    grid->addWidget(L_Resume, 2, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(1, 1);
    return TabSheet1;
}

// The Options page: the language and the option boxes.
QWidget* F_Principal::buildOptionsPage() {
    auto* TabSheet2 = new QWidget;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    auto* L_Langue = new QLabel(TabSheet2);
    name(L_Langue, Ctrl::L_Langue, "L_Langue");
    L_Langue->setGeometry(16, 16, 120, 22);
    L_Langue->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ComboLangue = new QComboBox(TabSheet2);
    name(ComboLangue, Ctrl::ComboLangue, "ComboLangue");
    ComboLangue->addItems({QStringLiteral("Français"), QStringLiteral("English")});
    ComboLangue->setGeometry(146, 16, 140, 22);
    L_Langue->setBuddy(ComboLangue);
    const struct {
        Ctrl c;
        const char* objectName;
        bool checked;
    } boxes[] = {{Ctrl::C_Photo, "C_Photo", true},
                 {Ctrl::C_Logos, "C_Logos", true},
                 {Ctrl::C_TagX, "C_TagX", true},
                 {Ctrl::C_TagSync, "C_TagSync", true},
                 {Ctrl::C_MyPhoneIn, "C_MyPhoneIn", false},
                 {Ctrl::C_MyphoneOut, "C_MyphoneOut", false},
                 {Ctrl::C_TagLabel, "C_TagLabel", true}};
    int y = 56;
    for (const auto& b : boxes) {
        auto* box = new QCheckBox(TabSheet2);
        name(box, b.c, b.objectName);
        box->setChecked(b.checked);
        // Caption left of the box, the boxes in one column.
        box->setLayoutDirection(Qt::RightToLeft);
        box->setGeometry(16, y, 290, 22);
        y += 28;
    }
    static_cast<QCheckBox*>(control(Ctrl::C_TagSync))->setText(AltCaption(Language::French, Msg::DropTagSync));
    return TabSheet2;
}

// The action frame, Run and Close, the counter and the site link.
void F_Principal::buildActionsAndRun(QWidget* Panel2, const QFont& base) {
    auto* R_Action = new QGroupBox(QStringLiteral("Action"), Panel2);
    name(R_Action, Ctrl::R_Action, "R_Action");
    R_Action->setGeometry(10, 162, 350, 120);
    m_actions = new QButtonGroup(this);
    int y = 20;
    for (Ctrl c : kActionButtons) {
        auto* radio = new QRadioButton(R_Action);
        static const QHash<Ctrl, const char*> names{{Ctrl::R_SVCFToContacts, "R_SVCFToContacts"},
                                                    {Ctrl::R_SVCFToMVCF, "R_SVCFToMVCF"},
                                                    {Ctrl::R_MVCFToSVCF, "R_MVCFToSVCF"},
                                                    {Ctrl::R_MyPhonePhoto, "R_MyPhonePhoto"}};
        name(radio, c, names.value(c));
        radio->setGeometry(12, y, 330, 22);
        m_actions->addButton(radio);
        y += 24;
    }
    static_cast<QRadioButton*>(control(Ctrl::R_MyPhonePhoto))
        ->setText(AltCaption(Language::French, Msg::PhoneBookAction));

    auto* B_go = new QPushButton(Panel2);
    name(B_go, Ctrl::B_go, "B_go");
    B_go->setGeometry(518, 10, 91, 85);
    B_go->setFont(pixelFont(base, 13, true));
    QPalette red = B_go->palette();
    red.setColor(QPalette::ButtonText, QColor(0xC6, 0x28, 0x28));
    B_go->setPalette(red);
    B_go->setDefault(true);
    auto* B_Cancel = new QPushButton(Panel2);
    name(B_Cancel, Ctrl::B_Cancel, "B_Cancel");
    B_Cancel->setGeometry(518, 104, 91, 28);
    auto* L_Compteur = new QLabel(Panel2);
    name(L_Compteur, Ctrl::L_Compteur, "L_Compteur");
    L_Compteur->setGeometry(518, 140, 91, 18);
    L_Compteur->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    M_Compteur = new QLineEdit(Panel2);
    name(M_Compteur, Ctrl::M_Compteur, "M_Compteur");
    M_Compteur->setReadOnly(true);
    M_Compteur->setFocusPolicy(Qt::NoFocus);
    M_Compteur->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Wide enough for the phone book's "12345 contacts, 12345 photos".
    M_Compteur->setGeometry(368, 160, 241, 24);
    L_Compteur->setBuddy(M_Compteur);

    const QString site = QString::fromLatin1(kSiteWeb);
    auto* L_Siteweb = new QLabel(Panel2);
    name(L_Siteweb, Ctrl::L_Siteweb, "L_Siteweb");
    L_Siteweb->setText(QStringLiteral("<a href=\"%1\" style=\"color:#1a56b8;\">%1</a>").arg(site.toHtmlEscaped()));
    L_Siteweb->setTextFormat(Qt::RichText);
    L_Siteweb->setToolTip(site);
    L_Siteweb->setCursor(Qt::PointingHandCursor);
    L_Siteweb->setAlignment(Qt::AlignRight | Qt::AlignBottom);
    L_Siteweb->setGeometry(368, kLowerHeight - 28, 241, 20);
    connect(L_Siteweb, &QLabel::linkActivated, this, &F_Principal::L_SitewebClick);
}

void F_Principal::connectHandlers() {
    connect(static_cast<QPushButton*>(control(Ctrl::B_go)), &QPushButton::clicked, this, &F_Principal::B_goClick);
    connect(static_cast<QPushButton*>(control(Ctrl::B_Cancel)), &QPushButton::clicked, this,
            &F_Principal::B_CancelClick);
    for (Ctrl c : kActionButtons)
        connect(static_cast<QRadioButton*>(control(c)), &QRadioButton::clicked, this,
                [this] { guarded([this] { m_p.R_Button(); }); });
    connect(static_cast<QCheckBox*>(control(Ctrl::C_Photo)), &QCheckBox::clicked, this,
            [this] { guarded([this] { m_p.C_PhotoClick(); }); });
    connect(static_cast<QCheckBox*>(control(Ctrl::C_Logos)), &QCheckBox::clicked, this,
            [this] { guarded([this] { m_p.C_LogosClick(); }); });
    // Only the user's choice runs the handler, not setting the item from the settings.
    connect(ComboLangue, &QComboBox::activated, this, [this] {
        guarded([this] { m_p.ComboLangueClick(); });
        applyLanguage();
    });
    connect(B_Stop, &QPushButton::clicked, this, &F_Principal::B_StopClick);
    connect(B_OuvrirSortie, &QPushButton::clicked, this, &F_Principal::B_OpenOutputClick);
    connect(B_EnregistrerLog, &QPushButton::clicked, this, &F_Principal::B_SaveLogClick);
    connect(C_ErreursSeules, &QCheckBox::toggled, M_Log, &LineView::setNoticesHidden);
    const struct {
        Ctrl c;
        void (TF_Principal::*handler)();
    } pickers[] = {{Ctrl::B_InputFile, &TF_Principal::B_InputFileClick},
                   {Ctrl::b_repdest, &TF_Principal::b_repdestClick},
                   {Ctrl::B_RepEntree, &TF_Principal::B_RepEntreeClick},
                   {Ctrl::b_repphotos, &TF_Principal::b_repphotosClick},
                   {Ctrl::B_RepLogos, &TF_Principal::B_RepLogosClick}};
    for (const auto& pk : pickers) {
        auto handler = pk.handler;
        connect(static_cast<QPushButton*>(control(pk.c)), &QPushButton::clicked, this,
                [this, handler] { guarded([this, handler] { (m_p.*handler)(); }); });
    }
}

bool F_Principal::FormCreate() {
    bool ok = false;
    guarded([this, &ok] { ok = m_p.FormCreate(); });
    if (!ok)
        return false;
    applyLanguage();
    fitScreen();
    // Centred on the screen's work area when first shown.
    if (QScreen* s = screen()) {
        const QRect wa = s->availableGeometry();
        move(wa.left() + qMax(0, (wa.width() - width()) / 2), wa.top() + qMax(0, (wa.height() - height()) / 2));
    }
    return true;
}

void F_Principal::fitScreen() {
    QScreen* s = screen();
    if (!s)
        return;
    const QRect area = s->availableGeometry();
    // The frame is known once the window is shown; before, a title bar is allowed for.
    QMargins frame(0, 0, 0, 0);
    if (isVisible() && frameGeometry() != geometry())
        frame = QMargins(geometry().left() - frameGeometry().left(), geometry().top() - frameGeometry().top(),
                         frameGeometry().right() - geometry().right(), frameGeometry().bottom() - geometry().bottom());
    else if (!QGuiApplication::platformName().startsWith(QLatin1String("offscreen")))
        frame = QMargins(4, style()->pixelMetric(QStyle::PM_TitleBarHeight) + 4, 4, 4);
    const QSize room(area.width() - frame.left() - frame.right(), area.height() - frame.top() - frame.bottom());
    if (room.width() >= kWidth && room.height() >= kHeight) {
        setFixedSize(kWidth, kHeight);
        return;
    }
    // Smaller than the window: as large as the area allows, resizable, the content scrolling.
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const QSize fit(qMin(kWidth + bar, qMax(room.width(), 160)), qMin(kHeight + bar, qMax(room.height(), 120)));
    setMinimumSize(160, 120);
    setMaximumSize(kWidth + bar, kHeight + bar);
    resize(fit);
    // The frame inside the area (a window's position is its frame's).
    const int outerWidth = width() + frame.left() + frame.right();
    const int outerHeight = height() + frame.top() + frame.bottom();
    move(qMax(area.left(), qMin(x(), area.right() - outerWidth + 1)),
         qMax(area.top(), qMin(y(), area.bottom() - outerHeight + 1)));
}

void F_Principal::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (QWindow* w = windowHandle()) {
        // Once per window: a move to another screen fits the window to that screen.
        if (!w->property("corvantaFits").toBool()) {
            w->setProperty("corvantaFits", true);
            connect(w, &QWindow::screenChanged, this, [this] { fitScreen(); });
        }
    }
    fitScreen();
}

// ---- FormWindow ----

QString F_Principal::editText(Ctrl edit) const {
    auto* e = qobject_cast<QLineEdit*>(control(edit));
    return e ? e->text() : QString();
}

void F_Principal::setEditText(Ctrl edit, const QString& text) {
    if (auto* e = qobject_cast<QLineEdit*>(control(edit)))
        e->setText(text);
}

bool F_Principal::isChecked(Ctrl box) const {
    auto* b = qobject_cast<QAbstractButton*>(control(box));
    return b && b->isChecked();
}

void F_Principal::setChecked(Ctrl box, bool checked) {
    auto* b = qobject_cast<QAbstractButton*>(control(box));
    if (!b)
        return;
    if (!checked && b->group() == m_actions) {
        // An exclusive group never lets its last button go: lift that for the moment.
        m_actions->setExclusive(false);
        b->setChecked(false);
        m_actions->setExclusive(true);
        return;
    }
    b->setChecked(checked);
}

void F_Principal::setEnabled(Ctrl control, bool enabled) {
    if (QWidget* w = this->control(control))
        w->setEnabled(enabled);
}

bool F_Principal::isEnabled(Ctrl control) const {
    QWidget* w = this->control(control);
    return w && w->isEnabled();
}

int F_Principal::comboIndex() const {
    return ComboLangue->currentIndex();
}

void F_Principal::setComboIndex(int index) {
    ComboLangue->setCurrentIndex(index);
}

void F_Principal::setCaption(Ctrl control, const QString& text) {
    QWidget* w = this->control(control);
    // Only buttons and labels with a buddy have an Alt letter.
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        b->setText(text);
    else if (auto* l = qobject_cast<QLabel*>(w))
        l->setText(l->buddy() ? text : QString(text).remove(u'&'));
    else if (auto* g = qobject_cast<QGroupBox*>(w))
        g->setTitle(QString(text).remove(u'&'));
}

void F_Principal::messageBox(const QString& text, MsgKind kind) {
    showBox(text, kind, false);
}

MsgResult F_Principal::askOverwrite(const QString&, const QString& question) {
    return showBox(question, MsgKind::Warning, true);
}

MsgResult F_Principal::showBox(const QString& text, MsgKind kind, bool question) {
    const QMessageBox::Icon icon = kind == MsgKind::Warning       ? QMessageBox::Warning
                                   : kind == MsgKind::Information ? QMessageBox::Information
                                                                  : QMessageBox::Critical;
    QMessageBox box(icon, QStringLiteral("Corvanta"), text,
                    question ? (QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel) : QMessageBox::Ok,
                    isVisible() ? this : nullptr);
    box.setObjectName(QStringLiteral("MessageBox"));
    if (question)
        box.setEscapeButton(QMessageBox::Cancel); // closing the box counts as Cancel
    switch (box.exec()) {
    case QMessageBox::Yes:
        return MsgResult::Yes;
    case QMessageBox::No:
        return MsgResult::No;
    case QMessageBox::Ok:
        return MsgResult::Ok;
    default:
        return question ? MsgResult::Cancel : MsgResult::Ok;
    }
}

// Shows a file dialog on the given folder, name and filter list; the chosen path, if any.
static std::optional<QString> runFileDialog(QFileDialog& dlg, const QString& initialDir, const QString& initialName,
                                            const QString& filter) {
    dlg.setNameFilters(QtFilters(filter));
    if (!initialDir.isEmpty())
        dlg.setDirectory(initialDir);
    if (!initialName.isEmpty())
        dlg.selectFile(initialName);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return std::nullopt;
    return dlg.selectedFiles().constFirst();
}

std::optional<QString> F_Principal::saveDialog(const QString& initialDir, const QString& initialName,
                                               const QString& filter, const QString& defaultSuffix) {
    QFileDialog dlg(this);
    dlg.setObjectName(QStringLiteral("SaveDialog"));
    // The Run asks about overwriting itself; a name typed without a suffix gets the proposed one.
    dlg.setOptions(QFileDialog::DontConfirmOverwrite | QFileDialog::DontUseNativeDialog);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setDefaultSuffix(defaultSuffix);
    return runFileDialog(dlg, initialDir, initialName, filter);
}

std::optional<QString> F_Principal::openDialog(const QString& initialDir, const QString& initialName,
                                               const QString& filter) {
    QFileDialog dlg(this);
    dlg.setObjectName(QStringLiteral("OpenDialog"));
    dlg.setOptions(QFileDialog::DontUseNativeDialog);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    // A name that does not exist is accepted: the Run reports it.
    dlg.setFileMode(QFileDialog::AnyFile);
    return runFileDialog(dlg, initialDir, initialName, filter);
}

bool F_Principal::browseForFolder(QString& folder, const QString& title) {
    return BrowseForFolder(folder, title, this);
}

void F_Principal::clearCompteur() {
    M_Compteur->clear();
}

void F_Principal::clearMemo() {
    Memo->clear();
}

void F_Principal::clearLog() {
    M_Log->clear();
}

// A run's lines come in blocks (see RunThread): each block is laid out once.
void F_Principal::appendMemo(const QString& line) {
    Memo->appendLines({line});
}

void F_Principal::appendLog(const QString& line) {
    M_Log->appendLines({line}, false);
}

void F_Principal::appendLogNotice(const QString& line) {
    M_Log->appendLines({line}, true);
}

void F_Principal::appendMemoLines(LineBlock lines) {
    Memo->appendLines(std::move(lines));
}

void F_Principal::appendLogLines(LineBlock lines, const std::vector<bool>& notices) {
    M_Log->appendLines(std::move(lines), notices);
}

void F_Principal::setProgress(qint64 done, qint64 total) {
    P_Avancement->setValue(total > 0 ? int(qBound<qint64>(0, done * 1000 / total, qint64(1000))) : 0);
}

void F_Principal::setCompteur(const QString& text) {
    M_Compteur->setText(text);
}

QString F_Principal::compteur() const {
    return M_Compteur->text();
}

// ---- Handlers ----

void F_Principal::B_goClick() {
    if (m_p.isRunning())
        return;
    L_Resume->clear();
    B_OuvrirSortie->setEnabled(false);
    P_Avancement->setValue(0);
    setRunGuard(true);
    B_Stop->setEnabled(true);
    // The checks and the questions come now; the work goes on after this returns, until runEnded.
    guarded([this] { m_p.B_goClick(); });
}

void F_Principal::runEnded() {
    B_Stop->setEnabled(false);
    setRunGuard(false);
    // What escaped the run (its input could not be read) goes to the general error report.
    guarded([this] { m_p.rethrowRunError(); });
    // The window was closed during the run: finish closing now that the run has stopped.
    if (m_closeAfterRun) {
        close();
        return;
    }
    showSummary();
    if (m_p.lastReport().outcome == RunReport::Outcome::CheckFailed)
        showFailedField();
}

void F_Principal::B_CancelClick() {
    close();
}

void F_Principal::B_StopClick() {
    m_p.requestStop(false);
}

void F_Principal::B_OpenOutputClick() {
    const QString folder = m_p.lastOutputFolder();
    if (folder.isEmpty())
        return;
    // Without a file manager nothing would happen at all: say so.
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
        messageBox(Mess(m_p.Langue, Msg::CannotOpenFolder).arg(QDir::toNativeSeparators(folder)), MsgKind::Warning);
}

void F_Principal::B_SaveLogClick() {
    QFileDialog dlg(this);
    dlg.setObjectName(QStringLiteral("SaveLogDialog"));
    dlg.setOptions(QFileDialog::DontUseNativeDialog);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setDefaultSuffix(QStringLiteral("txt"));
    const QString folder = m_p.lastOutputFolder().isEmpty() ? m_p.NomRepSortie : m_p.lastOutputFolder();
    const std::optional<QString> path =
        runFileDialog(dlg, folder, QStringLiteral("Corvanta-log.txt"), Mess(m_p.Langue, Msg::LogFilter));
    if (!path)
        return;
    // Every line, the hidden notices too, in UTF-8; the old file stays until the new one is whole.
    QByteArray text;
    for (qsizetype i = 0; i < M_Log->lineCount(); ++i) {
        text += M_Log->lineAt(i).toUtf8();
        text += '\n';
    }
    try {
        WriteFileAtomic(*path, text, WriteTarget::UserChosen);
    } catch (const KzError& e) {
        messageBox(Mess(m_p.Langue, Msg::CannotSaveLog).arg(e.message(m_p.Langue)), MsgKind::Error);
    }
}

void F_Principal::L_SitewebClick() {
    // No browser or no network is the platform's to report; nothing is shown here.
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(kSiteWeb)));
}

void F_Principal::closeEvent(QCloseEvent* event) {
    if (m_p.isRunning()) {
        // Stop the run at its next line; runEnded closes the window once it has ended.
        m_p.requestStop(true);
        m_closeAfterRun = true;
        event->ignore();
        return;
    }
    if (!m_closed) {
        m_closed = true;
        guarded([this] { m_p.FormClose(); });
    }
    event->accept();
}

void F_Principal::setRunGuard(bool on) {
    if (on) {
        m_enabledBeforeRun.clear();
        for (auto it = m_controls.cbegin(); it != m_controls.cend(); ++it) {
            if (usableDuringRun(it.key()))
                continue;
            m_enabledBeforeRun.insert(it.key(), it.value()->isEnabled());
            it.value()->setEnabled(false);
        }
        B_EnregistrerLog->setEnabled(false);
    } else {
        for (auto it = m_enabledBeforeRun.cbegin(); it != m_enabledBeforeRun.cend(); ++it)
            control(it.key())->setEnabled(it.value());
        m_enabledBeforeRun.clear();
        B_EnregistrerLog->setEnabled(true);
    }
    // The path fields stay readable, but cannot be changed under the run.
    for (Ctrl c : kPathFields)
        static_cast<QLineEdit*>(control(c))->setReadOnly(on);
}

void F_Principal::guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const KzError& e) {
        reportError(e.message(m_p.Langue));
    } catch (const std::bad_alloc&) {
        reportError(Mess(m_p.Langue, Msg::NotEnoughMemory));
    } catch (const std::exception& e) {
        reportError(QString::fromUtf8(e.what()));
    }
}

void F_Principal::reportError(const QString& message) {
    QString text = message;
    // A sentence gets its full stop, unless it already ends in punctuation at or below '.'.
    if (!text.isEmpty() && text.back().unicode() > u'.')
        text += QLatin1Char('.');
    messageBox(text, MsgKind::Error);
}

// ---- Language, summary, failed checks, drops ----

void F_Principal::applyLanguage() {
    const Language L = m_p.Langue;
    const bool fr = L == Language::French;
    // Qt's own texts (the question's buttons, the file dialogs) follow the language chosen.
    if (fr && !m_qtFrench) {
        auto* translator = new QTranslator(this);
        if (translator->load(QStringLiteral("qtbase_fr"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            QCoreApplication::installTranslator(translator);
            m_qtFrench = translator;
        } else {
            delete translator; // not installed: Qt's texts stay English
        }
    } else if (!fr && m_qtFrench) {
        QCoreApplication::removeTranslator(m_qtFrench);
        delete m_qtFrench;
        m_qtFrench = nullptr;
    }
    B_Stop->setText(AltCaption(L, Msg::Stop));
    B_OuvrirSortie->setText(AltCaption(L, Msg::OpenOutputFolder));
    B_EnregistrerLog->setText(AltCaption(L, Msg::SaveLog));
    C_ErreursSeules->setText(AltCaption(L, Msg::ErrorsOnly));
    P_Avancement->setFormat(Mess(L, Msg::ProgressFormat));
    // The path fields are named by their picker buttons; the lists and the progress by their role.
    const std::pair<Ctrl, Ctrl> rows[] = {{Ctrl::E_InputFiles, Ctrl::B_InputFile},
                                          {Ctrl::E_RepDest, Ctrl::b_repdest},
                                          {Ctrl::E_RepEntree, Ctrl::B_RepEntree},
                                          {Ctrl::E_RepPhotos, Ctrl::b_repphotos},
                                          {Ctrl::E_RepLogos, Ctrl::B_RepLogos}};
    for (const auto& [edit, button] : rows)
        control(edit)->setAccessibleName(static_cast<QAbstractButton*>(control(button))->text().remove(u'&'));
    Memo->setAccessibleName(static_cast<QLabel*>(control(Ctrl::L_Fichierstraites))->text().remove(u'&'));
    M_Log->setAccessibleName(QStringLiteral("Log"));
    ComboLangue->setAccessibleName(static_cast<QLabel*>(control(Ctrl::L_Langue))->text().remove(u'&'));
    M_Compteur->setAccessibleName(static_cast<QLabel*>(control(Ctrl::L_Compteur))->text().remove(u'&'));
    P_Avancement->setAccessibleName(Mess(L, Msg::ProgressName));
    if (!L_Resume->text().isEmpty())
        showSummary();
}

QString F_Principal::summary() const {
    return L_Resume->text();
}

void F_Principal::showSummary() {
    L_Resume->setText(RunSummary(m_p.lastReport(), m_p.Langue));
    L_Resume->setToolTip(m_p.lastOutputFolder());
    B_OuvrirSortie->setEnabled(!m_p.lastOutputFolder().isEmpty() && QFileInfo(m_p.lastOutputFolder()).isDir());
}

void F_Principal::showFailedField() {
    using F = RunReport::Field;
    const std::pair<F, Ctrl> fields[] = {{F::InputFile, Ctrl::E_InputFiles},
                                         {F::OutputFolder, Ctrl::E_RepDest},
                                         {F::InputFolder, Ctrl::E_RepEntree},
                                         {F::PhotosFolder, Ctrl::E_RepPhotos},
                                         {F::LogosFolder, Ctrl::E_RepLogos}};
    const auto it = std::find_if(std::cbegin(fields), std::cend(fields),
                                 [&](const auto& f) { return f.first == m_p.lastReport().checkField; });
    if (it == std::cend(fields))
        return;
    const Ctrl field = it->second;
    // The photos and logos folders are asked for by their boxes on the Options page: the other
    // way out of the message.
    if (field == Ctrl::E_RepPhotos || field == Ctrl::E_RepLogos)
        m_tabs->setCurrentIndex(1);
    auto* edit = static_cast<QLineEdit*>(control(field));
    m_scroll->ensureWidgetVisible(edit);
    activateWindow();
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
}

std::optional<Ctrl> F_Principal::dropTarget(const QString& path) const {
    const QFileInfo info(path);
    if (info.isDir())
        return isChecked(Ctrl::R_MVCFToSVCF) ? Ctrl::E_RepEntree : Ctrl::E_RepDest;
    const QString suffix = info.suffix();
    if (info.isFile() && (suffix.compare(QLatin1String("vcf"), Qt::CaseInsensitive) == 0 ||
                          suffix.compare(QLatin1String("dat"), Qt::CaseInsensitive) == 0))
        return Ctrl::E_InputFiles;
    return std::nullopt;
}

QList<std::pair<Ctrl, QString>> F_Principal::dropPlan(const QDropEvent* event) const {
    QList<std::pair<Ctrl, QString>> plan;
    if (m_p.isRunning() || !event->mimeData()->hasUrls())
        return plan;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (!url.isLocalFile())
            continue;
        const QString path = QDir::toNativeSeparators(url.toLocalFile());
        if (const std::optional<Ctrl> field = dropTarget(path)) {
            // One path a field: the first one dropped for it.
            const bool taken =
                std::any_of(plan.cbegin(), plan.cend(), [&](const auto& p) { return p.first == *field; });
            if (!taken)
                plan.append({*field, path});
        }
    }
    return plan;
}

void F_Principal::dragEnterEvent(QDragEnterEvent* event) {
    dragMoveEvent(event);
}

void F_Principal::dragMoveEvent(QDragMoveEvent* event) {
    // Asked again as the drag moves: a run may have started since it entered.
    if (!dropPlan(event).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void F_Principal::dropEvent(QDropEvent* event) {
    const QList<std::pair<Ctrl, QString>> plan = dropPlan(event);
    if (plan.isEmpty()) {
        event->ignore();
        return;
    }
    for (const auto& [field, path] : plan)
        setEditText(field, path);
    event->acceptProposedAction();
}
