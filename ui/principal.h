#pragma once
// The main window: the controls, the dialogs and the outputs that the main object reaches
// through FormWindow. The window owns the main object; a run's work goes on a worker thread and
// its outputs come back in batches.
#include "ui/presenter/kzform.h"
#include <QHash>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <optional>

class QDropEvent;

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QTabWidget;
class QTranslator;
class LineView;

// The maker's web page, shown and opened by the site link.
inline constexpr const char* kSiteWeb = "https://corvanta.example/";

class F_Principal : public QWidget, public FormWindow {
    Q_OBJECT

public:
    explicit F_Principal(QWidget* parent = nullptr);
    ~F_Principal() override;

    // Reads the settings and sets the start state; false when the program must end (exit code 1).
    bool FormCreate();
    TF_Principal& principal() { return m_p; }

    // FormWindow (its setEnabled/isEnabled name controls; the widget's own stay reachable)
    using QWidget::isEnabled;
    using QWidget::setEnabled;
    QString editText(Ctrl edit) const override;
    void setEditText(Ctrl edit, const QString& text) override;
    bool isChecked(Ctrl box) const override;
    void setChecked(Ctrl box, bool checked) override;
    void setEnabled(Ctrl control, bool enabled) override;
    bool isEnabled(Ctrl control) const override;
    int comboIndex() const override;
    void setComboIndex(int index) override;
    void setCaption(Ctrl control, const QString& text) override;
    void messageBox(const QString& text, MsgKind kind) override;
    MsgResult askOverwrite(const QString& path, const QString& question) override;
    std::optional<QString> saveDialog(const QString& initialDir, const QString& initialName, const QString& filter,
                                      const QString& defaultSuffix) override;
    std::optional<QString> openDialog(const QString& initialDir, const QString& initialName,
                                      const QString& filter) override;
    bool browseForFolder(QString& folder, const QString& title) override;
    void clearCompteur() override;
    void clearMemo() override;
    void clearLog() override;
    void appendMemo(const QString& line) override;
    void appendLog(const QString& line) override;
    void appendLogNotice(const QString& line) override;
    void appendMemoLines(LineBlock lines) override;
    void appendLogLines(LineBlock lines, const std::vector<bool>& notices) override;
    void setCompteur(const QString& text) override;
    bool showsProgress() const override { return true; }
    void setProgress(qint64 done, qint64 total) override;
    void runEnded() override;
    // The counter's text as shown.
    QString compteur() const;

    QWidget* control(Ctrl c) const { return m_controls.value(c); }

    // The line that sums up the last run ("" before the first, or after a failed check).
    QString summary() const;
    // Makes the window fit its screen's work area: fixed at its own size where it fits, else as
    // large as the area allows, its content scrolling.
    void fitScreen();

public slots:
    void B_goClick();
    void B_CancelClick();
    void B_StopClick();
    void B_OpenOutputClick();
    void B_SaveLogClick();
    void L_SitewebClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void build();
    void buildPathRows(QWidget* Panel2);
    void buildRunExtras(QWidget* Panel2);
    // The newer captions, Qt's own translations and the accessible names, in the language chosen.
    void applyLanguage();
    // After a failed path check: the page and the field that the message was about.
    void showFailedField();
    void showSummary();
    // The field a drop of `path` fills, or none.
    std::optional<Ctrl> dropTarget(const QString& path) const;
    // The dropped local paths and the fields they fill; empty when the drop is refused.
    QList<std::pair<Ctrl, QString>> dropPlan(const QDropEvent* event) const;
    QWidget* buildLogPage(const QFont& base);
    QWidget* buildOptionsPage();
    void buildActionsAndRun(QWidget* Panel2, const QFont& base);
    void connectHandlers();
    // Gives the widget its object name and files it as the control `c`.
    void name(QWidget* w, Ctrl c, const char* objectName);
    // A message box: OK, or Yes/No/Cancel for a question (closing it counts as Cancel).
    MsgResult showBox(const QString& text, MsgKind kind, bool question);
    // Runs a handler; an error that leaves it goes to the general error report.
    void guarded(const std::function<void()>& handler);
    void reportError(const QString& message);
    // While a run is under way every control that could change it is disabled, the path fields
    // made read-only.
    void setRunGuard(bool on);

    TF_Principal m_p;
    QHash<Ctrl, QWidget*> m_controls;
    QButtonGroup* m_actions = nullptr;
    QScrollArea* m_scroll = nullptr;
    QTabWidget* m_tabs = nullptr;
    QComboBox* ComboLangue = nullptr;
    LineView* Memo = nullptr;
    LineView* M_Log = nullptr;
    QLineEdit* M_Compteur = nullptr;
    QProgressBar* P_Avancement = nullptr;
    QPushButton* B_Stop = nullptr;
    QPushButton* B_OuvrirSortie = nullptr;
    QPushButton* B_EnregistrerLog = nullptr;
    QCheckBox* C_ErreursSeules = nullptr;
    QLabel* L_Resume = nullptr;
    QTranslator* m_qtFrench = nullptr; // Qt's own texts in French, installed while French is chosen
    QHash<Ctrl, bool> m_enabledBeforeRun;
    bool m_closeAfterRun = false;
    bool m_closed = false;
};
