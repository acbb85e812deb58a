// The main window: fixed 619 x 650 layout, the controls named as the main object knows them,
// and the dialogs.
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
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QUrl>

namespace {

const int kWidth = 619;
const int kHeight = 650;
const int kLowerHeight = 292;
// Let the window repaint at most this often during a run; more often only costs time.
const qint64 kEventsIntervalNs = 15'000'000;
// A turn of the event loop repaints the lists and the counter, which takes a few milliseconds:
// the next turn waits forty times as long, so that repainting stays near a fortieth of the run,
// but never longer than the bound after (ten turns a second), so that the window stays live.
const qint64 kTurnCostFactor = 40;
const qint64 kEventsMaxIntervalNs = 100'000'000;
// The clock is read once in this many calls.
const unsigned kCallsPerClockRead = 16;

const Ctrl kActionButtons[] = {Ctrl::R_SVCFToContacts, Ctrl::R_SVCFToMVCF, Ctrl::R_MVCFToSVCF, Ctrl::R_MyPhonePhoto};

// What a run must not see changed under it.
const Ctrl kRunGuarded[] = {Ctrl::B_go,           Ctrl::R_SVCFToContacts, Ctrl::R_SVCFToMVCF, Ctrl::R_MVCFToSVCF,
                            Ctrl::R_MyPhonePhoto, Ctrl::C_Photo,          Ctrl::C_Logos,      Ctrl::C_TagX,
                            Ctrl::C_TagSync,      Ctrl::C_MyPhoneIn,      Ctrl::C_MyphoneOut, Ctrl::C_TagLabel,
                            Ctrl::ComboLangue,    Ctrl::B_InputFile,      Ctrl::b_repdest,    Ctrl::B_RepEntree,
                            Ctrl::b_repphotos,    Ctrl::B_RepLogos};

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

    // Upper area: the tab control with the outputs and the options.
    auto* Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, 0, kWidth, kHeight - kLowerHeight);
    auto* PageLog = new QTabWidget(Panel1);
    PageLog->setObjectName(QStringLiteral("PageLog"));
    PageLog->setGeometry(6, 6, kWidth - 12, kHeight - kLowerHeight - 8);

    PageLog->addTab(buildLogPage(base), QStringLiteral("Log"));
    PageLog->addTab(buildOptionsPage(), QStringLiteral("Options"));
    PageLog->setCurrentIndex(0);

    // Lower area: the path rows, the action, Run and Close, the counter and the site link.
    auto* Panel2 = new QWidget(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setGeometry(0, kHeight - kLowerHeight, kWidth, kLowerHeight);
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
        y += 30;
    }

    buildActionsAndRun(Panel2, base);
    connectHandlers();
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
    // The processed-files list keeps its width; the log takes the rest of the page.
    auto* grid = new QGridLayout(TabSheet1);
    grid->setContentsMargins(6, 4, 6, 6);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);
    grid->addWidget(L_Fichierstraites, 0, 0);
    grid->addWidget(L_Log, 0, 1);
    grid->addWidget(Memo, 1, 0);
    grid->addWidget(M_Log, 1, 1);
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
    static_cast<QCheckBox*>(control(Ctrl::C_TagSync))->setText(QStringLiteral("Supprimer les tags X-SYNC"));
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
        ->setText(QStringLiteral("Ajout photos/logos à fichier Phonebook.dat"));

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
    M_Compteur = new QLineEdit(Panel2);
    name(M_Compteur, Ctrl::M_Compteur, "M_Compteur");
    M_Compteur->setReadOnly(true);
    M_Compteur->setFocusPolicy(Qt::NoFocus);
    M_Compteur->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    M_Compteur->setGeometry(518, 160, 91, 24);

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
    connect(ComboLangue, &QComboBox::activated, this, [this] { guarded([this] { m_p.ComboLangueClick(); }); });
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
    // Centred on the screen's work area when first shown.
    if (QScreen* s = screen()) {
        const QRect wa = s->availableGeometry();
        move(wa.left() + (wa.width() - width()) / 2, wa.top() + (wa.height() - height()) / 2);
    }
    return true;
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
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        b->setText(text);
    else if (auto* l = qobject_cast<QLabel*>(w))
        l->setText(text);
    else if (auto* g = qobject_cast<QGroupBox*>(w))
        g->setTitle(text);
}

void F_Principal::messageBox(const QString& text, MsgKind kind) {
    showBox(text, kind, false);
}

MsgResult F_Principal::askOverwrite(const QString&, const QString& question) {
    return showBox(question, MsgKind::Warning, true);
}

MsgResult F_Principal::showBox(const QString& text, MsgKind kind, bool question) {
    flushOutputs();
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
                                               const QString& filter) {
    QFileDialog dlg(this);
    dlg.setObjectName(QStringLiteral("SaveDialog"));
    // The Run asks about overwriting itself, and a name is taken as typed.
    dlg.setOptions(QFileDialog::DontConfirmOverwrite | QFileDialog::DontUseNativeDialog);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setDefaultSuffix(QString());
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
    m_pendingCompteur.reset();
    M_Compteur->clear();
}

void F_Principal::clearMemo() {
    m_pendingMemo.clear();
    Memo->clear();
}

void F_Principal::clearLog() {
    m_pendingLog.clear();
    M_Log->clear();
}

// Lines are gathered and shown once per event-loop turn: laying out one line per card
// would cost the window more than the conversion itself.
namespace {

// The line as the lists keep it: its own storage, no larger than its text. A run's line often
// shares the conversion's line buffer, whose room can be that of a picture's data: kept as it
// is, the list would hold that room for every such line, and the conversion would make itself
// a new buffer for its next line.
QString compact(const QString& line) {
    QString kept = line;
    kept.squeeze();
    return kept;
}

} // namespace

void F_Principal::appendMemo(const QString& line) {
    m_pendingMemo.append(compact(line));
    if (!m_p.isRunning())
        flushOutputs();
}

void F_Principal::appendLog(const QString& line) {
    m_pendingLog.append(compact(line));
    if (!m_p.isRunning())
        flushOutputs();
}

void F_Principal::flushOutputs() {
    if (m_pendingCompteur) {
        M_Compteur->setText(*m_pendingCompteur);
        m_pendingCompteur.reset();
    }
    if (!m_pendingMemo.isEmpty()) {
        Memo->appendLines(m_pendingMemo);
        m_pendingMemo.clear();
    }
    if (!m_pendingLog.isEmpty()) {
        M_Log->appendLines(m_pendingLog);
        m_pendingLog.clear();
    }
}

void F_Principal::setCompteur(const QString& text) {
    m_pendingCompteur = text;
    if (!m_p.isRunning())
        flushOutputs();
}

QString F_Principal::compteur() const {
    return m_pendingCompteur ? *m_pendingCompteur : M_Compteur->text();
}

void F_Principal::processEvents() {
    if (onProcessEvents)
        onProcessEvents();
    // The clock is read once in a few calls only: a run calls once per line, and reading the
    // clock takes about as long as a short line.
    if (m_sinceEvents.isValid() &&
        (++m_callsSinceClock % kCallsPerClockRead != 0 || m_sinceEvents.nsecsElapsed() < m_eventsIntervalNs))
        return;
    QElapsedTimer turn;
    turn.start();
    flushOutputs();
    QCoreApplication::processEvents();
    m_eventsIntervalNs = qBound(kEventsIntervalNs, turn.nsecsElapsed() * kTurnCostFactor, kEventsMaxIntervalNs);
    m_sinceEvents.start();
}

// ---- Handlers ----

void F_Principal::B_goClick() {
    if (m_p.isRunning())
        return;
    setRunGuard(true);
    m_sinceEvents.invalidate();
    m_eventsIntervalNs = kEventsIntervalNs;
    guarded([this] { m_p.B_goClick(); });
    flushOutputs();
    setRunGuard(false);
    // The window was closed during the run: finish closing now that the run has stopped.
    if (m_closeAfterRun)
        close();
}

void F_Principal::B_CancelClick() {
    close();
}

void F_Principal::L_SitewebClick() {
    // No browser or no network is the platform's to report; nothing is shown here.
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(kSiteWeb)));
}

void F_Principal::closeEvent(QCloseEvent* event) {
    if (m_p.isRunning()) {
        // Stop the run at its next line; B_goClick closes the window once it has returned.
        m_p.requestStop();
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
        for (Ctrl c : kRunGuarded) {
            m_enabledBeforeRun.insert(c, control(c)->isEnabled());
            control(c)->setEnabled(false);
        }
    } else {
        for (auto it = m_enabledBeforeRun.cbegin(); it != m_enabledBeforeRun.cend(); ++it)
            control(it.key())->setEnabled(it.value());
        m_enabledBeforeRun.clear();
    }
}

void F_Principal::guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const KzError& e) {
        reportError(e.message());
    } catch (const std::bad_alloc&) {
        reportError(QStringLiteral("Not enough memory"));
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
