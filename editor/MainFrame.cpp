#include "editor/MainFrame.h"

#include "desktop/DesktopOpen.h"
#include "desktop/Help.h"
#include "desktop/Skin.h"
#include "editor/Profile.h"
#include "editor/ProgramOptionsDialog.h"
#include "editor/TipDialog.h"
#include "jobmodel/DeleteJob.h"
#include "jobmodel/SettingsRegistry.h"
#include "platform/FileSystem.h"
#include "platform/MessageService.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QStyle>
#include <QUrl>

namespace editor {

namespace {

constexpr int kRecentFiles = 4;
constexpr const char* kRecentSection = "Recent File List";

enum class Drawn { Cut, Copy, Paste };

// Cut, Copy and Paste have no standard pixmap of the style to fall back on
// where the desktop has no icon theme: these are drawn here.
QIcon DrawnIcon(Drawn kind) {
    QPixmap image(32, 32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(60, 60, 70), paper(250, 250, 250), accent(40, 110, 200);
    auto page = [&](const QRectF& r) {
        p.setPen(QPen(ink, 1.5));
        p.setBrush(paper);
        p.drawRect(r);
        p.setPen(QPen(QColor(150, 150, 160), 1.2));
        for (double y = r.top() + 5; y < r.bottom() - 3; y += 4) p.drawLine(QPointF(r.left() + 3, y), QPointF(r.right() - 3, y));
    };
    switch (kind) {
        case Drawn::Cut:
            p.setPen(QPen(ink, 2.2, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(10, 4), QPointF(20, 20));
            p.drawLine(QPointF(22, 4), QPointF(12, 20));
            p.setPen(QPen(accent, 2.4));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(QPointF(10, 24), 4.5, 4.5);
            p.drawEllipse(QPointF(22, 24), 4.5, 4.5);
            break;
        case Drawn::Copy:
            page(QRectF(4.5, 3.5, 15, 19));
            page(QRectF(12.5, 9.5, 15, 19));
            break;
        case Drawn::Paste:
            p.setPen(QPen(ink, 1.5));
            p.setBrush(QColor(190, 140, 80));
            p.drawRoundedRect(QRectF(4.5, 5.5, 19, 23), 2, 2);
            p.setBrush(QColor(200, 200, 205));
            p.drawRoundedRect(QRectF(9.5, 2.5, 9, 5), 1.5, 1.5);
            page(QRectF(13.5, 12.5, 14, 17));
            break;
    }
    p.end();
    return QIcon(image);
}

QIcon DrawnCommandIcon(const char* themeName, Drawn fallback) { return QIcon::fromTheme(themeName, DrawnIcon(fallback)); }

// The document's icon on the caption bar: a job (128), a backup file (158)
// or a zip file (159).
QPixmap DocumentIcon(int kind) {
    QPixmap image(24, 24);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor blue(47, 111, 183), green(31, 138, 76), zip(200, 140, 40);
    if (kind == jobmodel::kDocJob) {
        // A folder with a tick: the job's selection.
        p.setPen(Qt::NoPen);
        p.setBrush(blue);
        p.drawRoundedRect(QRectF(2, 6, 20, 15), 2, 2);
        p.drawRoundedRect(QRectF(2, 4, 9, 5), 1.5, 1.5);
        p.setBrush(QColor(233, 241, 251));
        p.drawRoundedRect(QRectF(4, 9, 16, 10), 1.5, 1.5);
        p.setPen(QPen(green, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(8, 14), QPointF(11, 17), QPointF(17, 11)}));
    } else {
        // A box with a zipper: green for our backups, amber for other zips.
        p.setPen(QPen(QColor(60, 60, 70), 1.2));
        p.setBrush(kind == jobmodel::kDocBackup ? green : zip);
        p.drawRoundedRect(QRectF(3.5, 3.5, 17, 17), 2.5, 2.5);
        p.setPen(QPen(Qt::white, 1.6));
        for (double y = 6; y < 18; y += 3) p.drawLine(QPointF(10.5, y), QPointF(13.5, y));
    }
    return image;
}

// The edit control with the focus, for the Edit commands.
QLineEdit* FocusedEdit() { return qobject_cast<QLineEdit*>(QApplication::focusWidget()); }

std::string AskSavePath(QWidget* parent, const QString& title, const std::string& proposed) {
    return QFileDialog::getSaveFileName(parent, title, QString::fromStdString(proposed), "Vellora Jobs (*.vlj)")
        .toStdString();
}

}  // namespace

CMainFrame::~CMainFrame() { m_doc.SetScheduleHooks(nullptr); }

CMainFrame::CMainFrame(jobmodel::CAppDoc& doc, QWidget* parent) : QMainWindow(parent), m_doc(doc) {
    setAcceptDrops(true);
    m_scheduleHooks.m_saveJob = [this] { return Save(); };
    m_scheduleHooks.m_jobPath = [this] { return m_doc.GetPathName(); };
    m_doc.SetScheduleHooks(&m_scheduleHooks);
    m_askSavePath = [this](const QString& title, const std::string& proposed) {
        return AskSavePath(this, title, proposed);
    };
    m_pickJobToDelete = [this] {
        const QString folder =
            QString::fromStdString(jobmodel::CSettingsRegistry(jobmodel::ChooseSettingsRoot()).GetJobFolder());
        QFileDialog dialog(this, "Delete Job", folder, "Vellora Jobs (*.vlj)");
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setLabelText(QFileDialog::Accept, "Delete");
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::string();
        return dialog.selectedFiles().front().toStdString();
    };
    auto command = [this](const char* text, const char* tip, const QIcon& icon = QIcon()) {
        auto* action = new QAction(icon, text, this);
        action->setStatusTip(tip);
        return action;
    };
    m_new = command("&New", "Create a new backup job", desktop::CommandIcon("document-new", QStyle::SP_FileIcon));
    m_new->setShortcut(QKeySequence::New);
    m_new->setIconText("New");
    m_open = command("&Open...", "Open a backup job, backup file or zip file",
                     desktop::CommandIcon("document-open", QStyle::SP_DialogOpenButton));
    m_open->setShortcut(QKeySequence::Open);
    m_open->setIconText("Open");
    m_save = command("&Save", "Save the backup job", desktop::CommandIcon("document-save", QStyle::SP_DialogSaveButton));
    m_save->setShortcut(QKeySequence::Save);
    m_save->setIconText("Save");
    m_saveAs = command("Save &As...", "Save the backup job under a new name");
    m_deleteJob = command("&Delete a job", "Delete a backup job, its schedule and its index");
    QAction* exit = command("E&xit", "Quit the application");
    QAction* undo = command("&Undo", "Undo the last action", desktop::CommandIcon("edit-undo", QStyle::SP_ArrowBack));
    QAction* cut = command("Cu&t", "Cut the selection", DrawnCommandIcon("edit-cut", Drawn::Cut));
    QAction* copy = command("&Copy", "Copy the selection", DrawnCommandIcon("edit-copy", Drawn::Copy));
    QAction* paste = command("&Paste", "Insert the clipboard", DrawnCommandIcon("edit-paste", Drawn::Paste));
    undo->setShortcut(QKeySequence::Undo);
    cut->setShortcut(QKeySequence::Cut);
    copy->setShortcut(QKeySequence::Copy);
    paste->setShortcut(QKeySequence::Paste);
    undo->setIconText("Undo");
    cut->setIconText("Cut");
    copy->setIconText("Copy");
    paste->setIconText("Paste");
    m_runBackup = command("&Run Backup", "Run this backup job now",
                          desktop::CommandIcon("media-playback-start", QStyle::SP_MediaPlay));
    m_runBackup->setIconText("Run Backup");
    m_about = command("&About Vellora...", "Display program information",
                      desktop::CommandIcon("help-about", QStyle::SP_MessageBoxInformation));
    m_about->setIconText("About");
    QAction* help = command("&Help Topics", "List Help topics");
    QAction* toolbarShown = command("&Toolbar", "Show or hide the toolbar");
    QAction* statusShown = command("&Status Bar", "Show or hide the status bar");
    toolbarShown->setCheckable(true);
    statusShown->setCheckable(true);
    toolbarShown->setChecked(true);
    statusShown->setChecked(true);

    m_fileMenu = menuBar()->addMenu("&File");
    m_fileMenu->addActions({m_new, m_open, m_save, m_saveAs});
    m_fileMenu->addSeparator();
    m_fileMenu->addAction(m_deleteJob);
    m_recentSeparator = m_fileMenu->addSeparator();
    for (int i = 0; i < kRecentFiles; ++i) {
        auto* recent = new QAction(this);
        connect(recent, &QAction::triggered, this, [this, recent] {
            if (SaveModified()) OpenFile(recent->data().toString().toStdString());
        });
        m_recentActions.push_back(recent);
        m_fileMenu->addAction(recent);
    }
    m_fileMenu->addSeparator();
    m_fileMenu->addAction(exit);
    QMenu* edit = menuBar()->addMenu("&Edit");
    edit->addActions({undo, cut, copy, paste});
    QMenu* view = menuBar()->addMenu("&View");
    view->addActions({toolbarShown, statusShown});
    QMenu* skins = view->addMenu("S&kin");
    auto* skinGroup = new QActionGroup(this);
    const int current = desktop::ApplySkin();
    for (const auto& [label, skin] : {std::pair{"2002 Style", 1}, std::pair{"2003 Style", 2}, std::pair{"2005 Style", 3}}) {
        QAction* choice = skins->addAction(label);
        choice->setCheckable(true);
        choice->setChecked(skin == current);
        skinGroup->addAction(choice);
        connect(choice, &QAction::triggered, this, [skin = skin] { desktop::SetSkin(skin); });
    }
    m_options = command("&Options", "Change the program's options",
                        desktop::CommandIcon("preferences-system", QStyle::SP_FileDialogDetailedView));
    m_options->setIconText("Options");
    QMenu* tools = menuBar()->addMenu("&Tools");
    tools->addActions({m_runBackup, m_options});
    QAction* tip = command("Tip of the Day", "Display a tip");
    QMenu* helpMenu = menuBar()->addMenu("&Help");
    helpMenu->addActions({help, tip, m_about});
    connect(tip, &QAction::triggered, this, &CMainFrame::ShowTip);

    m_toolbar = addToolBar("Main Toolbar");
    m_toolbar->setMovable(false);
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolbar->addActions({m_new, m_open, m_save});
    m_toolbar->addSeparator();
    m_toolbar->addActions({cut, copy, paste, undo});
    m_toolbar->addSeparator();
    m_toolbar->addAction(m_about);
    m_toolbar->addSeparator();
    m_toolbar->addAction(m_options);
    m_toolbar->addSeparator();
    m_toolbar->addAction(m_runBackup);

    // The caption bar under the toolbar: the document's icon and title.
    addToolBarBreak();
    QToolBar* captionBar = addToolBar("Caption");
    captionBar->setMovable(false);
    m_captionIcon = new QLabel(captionBar);
    m_caption = new QLabel(captionBar);
    QFont bold = m_caption->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    m_caption->setFont(bold);
    m_caption->setContentsMargins(4, 2, 6, 2);
    captionBar->addWidget(m_captionIcon);
    captionBar->addWidget(m_caption);

    m_tabs = new QTabWidget(this);
    setCentralWidget(m_tabs);
    m_status = new CProgressStatusBar(this);
    setStatusBar(m_status);

    connect(m_new, &QAction::triggered, this, [this] {
        if (SaveModified()) NewJob();
    });
    connect(m_open, &QAction::triggered, this, [this] {
        if (!SaveModified()) return;
        const QString chosen = QFileDialog::getOpenFileName(
            this, "Open", QString::fromStdString(jobmodel::CSettingsRegistry(jobmodel::ChooseSettingsRoot()).GetJobFolder()),
            "Vellora Jobs (*.vlj);;Vellora Files (*.velarc);;Zip Files (*.zip)");
        if (!chosen.isEmpty()) OpenFile(chosen.toStdString());
    });
    connect(m_save, &QAction::triggered, this, &CMainFrame::Save);
    connect(m_saveAs, &QAction::triggered, this, &CMainFrame::SaveAs);
    connect(m_deleteJob, &QAction::triggered, this, &CMainFrame::DeleteJob);
    connect(exit, &QAction::triggered, this, &QWidget::close);
    connect(undo, &QAction::triggered, this, [] {
        if (QLineEdit* e = FocusedEdit()) e->undo();
    });
    connect(cut, &QAction::triggered, this, [] {
        if (QLineEdit* e = FocusedEdit()) e->cut();
    });
    connect(copy, &QAction::triggered, this, [] {
        if (QLineEdit* e = FocusedEdit()) e->copy();
    });
    connect(paste, &QAction::triggered, this, [] {
        if (QLineEdit* e = FocusedEdit()) e->paste();
    });
    connect(toolbarShown, &QAction::toggled, m_toolbar, &QWidget::setVisible);
    connect(statusShown, &QAction::toggled, m_status, &QWidget::setVisible);
    connect(m_runBackup, &QAction::triggered, this, [this] {
        RunBackup(m_doc, [this] { return Save(); }, QCoreApplication::applicationDirPath().toStdString(), m_start);
    });
    connect(m_options, &QAction::triggered, this, [this] {
        const jobmodel::CSettingsRegistry settings(jobmodel::ChooseSettingsRoot());
        CProgramOptionsDialog dialog(settings, this);
        dialog.exec();
    });
    connect(help, &QAction::triggered, this, [] { desktop::ShowHelpPage("index.html"); });
    // F1: the page of the active tab.
    auto* contextHelp = new QAction(this);
    contextHelp->setShortcut(QKeySequence::HelpContents);
    addAction(contextHelp);
    connect(contextHelp, &QAction::triggered, this, [this] { desktop::ShowHelpPage(HelpTopic()); });
    connect(m_about, &QAction::triggered, this, [this] {
        QMessageBox::about(this, "About Vellora", QString("Vellora Version ") + VELLORA_VERSION);
    });

    ShowRecentFiles();
    resize(940, 640);
    ShowDocument();
}

QString CMainFrame::DocumentTitle() const {
    const std::string& path = m_doc.GetPathName();
    return path.empty() ? QString("Untitled") : QString::fromStdString(platform::FileNamePart(path));
}

QString CMainFrame::HelpTopic() const {
    const QString tab = m_tabs->count() ? m_tabs->tabText(m_tabs->currentIndex()) : QString();
    for (const char* known : {"Backup", "Scheduler", "Options", "Logging", "Restore"})
        if (tab == known) return QString("Backup/OptionTabs/Tab_%1.htm").arg(tab);
    return "index.html";
}

QStringList CMainFrame::ToolbarTexts() const {
    QStringList texts;
    for (QAction* a : m_toolbar->actions()) texts << (a->isSeparator() ? QString() : a->iconText());
    return texts;
}

void CMainFrame::ShowDocument() {
    const QString title = DocumentTitle();
    setWindowTitle(title + " - Vellora");
    m_caption->setText(title);
    const bool job = m_doc.m_nDocKind == jobmodel::kDocJob;
    const QPixmap icon = DocumentIcon(m_doc.m_nDocKind);
    m_captionIcon->setPixmap(icon);
    setWindowIcon(QIcon(icon));
    setUpdatesEnabled(false);
    while (m_tabs->count()) {
        QWidget* page = m_tabs->widget(0);
        m_tabs->removeTab(0);
        delete page;
    }
    m_backupTab = nullptr;
    m_optionsTab = nullptr;
    m_loggingTab = nullptr;
    m_restoreTab = nullptr;
    m_schedulerTab = nullptr;
    if (job) {
        m_backupTab = new CBackupTab(m_doc, [this] { Modified(); }, m_tabs);
        m_tabs->addTab(m_backupTab, "Backup");
        m_schedulerTab = new scheduling::CSchedulerTab(m_doc, m_scheduler, m_scheduleHooks, [this] { Modified(); },
                                                       [this] { return Save(); }, m_tabs);
        m_tabs->addTab(m_schedulerTab, "Scheduler");
        m_optionsTab = new COptionsTab(m_doc, [this] { Modified(); }, m_tabs);
        m_tabs->addTab(m_optionsTab, "Options");
        m_loggingTab = new CLoggingTab(m_doc, [this] { Modified(); }, [this] { return Save(); }, m_tabs);
        m_tabs->addTab(m_loggingTab, "Logging");
    }
    m_restoreTab = new restore::CRestoreTab(m_doc, m_status, m_tabs);
    m_tabs->addTab(m_restoreTab, "Restore");
    setUpdatesEnabled(true);
    m_runBackup->setEnabled(job);
    m_saveAs->setEnabled(job && !m_doc.GetPathName().empty());
    m_doc.SetModifiedFlag(false);
    setWindowModified(false);
}

void CMainFrame::Modified() {
    m_doc.SetModifiedFlag();
    setWindowModified(true);
}

bool CMainFrame::NewJob() {
    if (!m_doc.OnNewDocument()) return false;
    ShowDocument();
    return true;
}

bool CMainFrame::OpenFile(const std::string& path) {
    if (!m_doc.OnOpenDocument(path)) {
        // The document is cleared by a failed load: a new job takes its place.
        NewJob();
        return false;
    }
    AddRecentFile(path);
    ShowDocument();
    return true;
}

bool CMainFrame::SavePages() {
    if (m_schedulerTab) m_schedulerTab->SaveToJob();
    return (!m_backupTab || m_backupTab->SaveToJob()) && (!m_optionsTab || m_optionsTab->SaveToJob()) &&
           (!m_loggingTab || m_loggingTab->SaveToJob());
}

bool CMainFrame::Save() {
    if (m_doc.m_nDocKind != jobmodel::kDocJob) return false;
    // Every page checks its data before anything is written.
    if (!SavePages()) return false;
    std::string path = m_doc.GetPathName();
    if (path.empty()) {
        const std::string folder = jobmodel::CSettingsRegistry(jobmodel::ChooseSettingsRoot()).GetJobFolder();
        path = m_askSavePath("Save As", (folder.empty() ? "" : folder + "/") + "Untitled.vlj");
        if (path.empty()) return false;
    }
    if (!m_doc.OnSaveDocument(path)) return false;
    AddRecentFile(path);
    setWindowTitle(DocumentTitle() + " - Vellora");
    m_caption->setText(DocumentTitle());
    m_saveAs->setEnabled(true);
    setWindowModified(false);
    return true;
}

bool CMainFrame::SaveAs() {
    if (m_doc.m_nDocKind != jobmodel::kDocJob || m_doc.GetPathName().empty()) return false;
    if (!SavePages()) return false;
    const std::string oldPath = m_doc.GetPathName();
    const std::string path = m_askSavePath("Save As", oldPath);
    if (path.empty() || !m_doc.OnSaveDocument(path)) return false;
    if (!platform::SamePath(path, oldPath)) {
        platform::Messages().Show("Scheduling details have not been copied to the new backup job.\nPlease remember to "
                                  "create a new schedule for this job if required.",
                                  "Vellora", platform::MB_OK | platform::MB_ICONINFORMATION);
        m_doc.ResetSchedule();
        m_doc.OnSaveDocument(path);
    }
    AddRecentFile(path);
    ShowDocument();
    return true;
}

bool CMainFrame::SaveModified() {
    if (!m_doc.IsModified()) return true;
    const int answer = platform::Messages().Show("Save changes to " + DocumentTitle().toStdString() + "?", "Vellora",
                                                 platform::MB_YESNOCANCEL | platform::MB_ICONEXCLAMATION);
    if (answer == platform::IDCANCEL) return false;
    if (answer == platform::IDYES) return Save();
    m_doc.OnDiscardChanges();
    return true;
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (SaveModified())
        event->accept();
    else
        event->ignore();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.front().isLocalFile()) return;
    event->acceptProposedAction();
    if (SaveModified()) OpenFile(urls.front().toLocalFile().toStdString());
}

void CMainFrame::AddRecentFile(const std::string& path) {
    std::vector<std::string> files = {path};
    for (int i = 1; i <= kRecentFiles; ++i) {
        const std::string file = GetProfileString(kRecentSection, "File" + std::to_string(i));
        if (!file.empty() && !platform::SamePath(file, path) && files.size() < kRecentFiles) files.push_back(file);
    }
    for (size_t i = 0; i < files.size(); ++i) WriteProfileString(kRecentSection, "File" + std::to_string(i + 1), files[i]);
    ShowRecentFiles();
}

void CMainFrame::ShowRecentFiles() {
    bool any = false;
    for (int i = 0; i < kRecentFiles; ++i) {
        const std::string file = GetProfileString(kRecentSection, "File" + std::to_string(i + 1));
        QAction* action = m_recentActions[static_cast<size_t>(i)];
        action->setVisible(!file.empty());
        action->setText(QString("&%1 %2").arg(i + 1).arg(QString::fromStdString(file)));
        action->setData(QString::fromStdString(file));
        any = any || !file.empty();
    }
    m_recentSeparator->setVisible(any);
}

void CMainFrame::ShowTip() {
    CTipOfTheDay tips;
    if (!tips.Open(TipsFile())) return;
    CTipDialog dialog(tips, this);
    dialog.exec();
}

void CMainFrame::DeleteJob() { jobmodel::DeleteJobFiles(m_pickJobToDelete(), m_doc.GetPathName()); }

}  // namespace editor
