#include "UninstallerController.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTextCursor>
#include <QTextEdit>
#include <cstring>
#include <string>
#include <utility>

#include "Logging.h"
#include "ProgressIndicator.h"
#include "ProgressLine.h"
#include "ui_UninstallerWindow.h"

using namespace platform;

namespace {

const QString kDoneTitle = QStringLiteral("Done");
const QString kScriptResource = QStringLiteral("uninstall.sh");
constexpr char kTool[] = "/bin/sh";
const QString kRestartTarget = QStringLiteral("loginwindow");
constexpr long kSendTimeoutTicks = 1000;

void LogStatus(const char* call, long status) {
    SystemLog(std::string(call) + " returned " + std::to_string(status));
}

}  // namespace

UninstallerController::UninstallerController(QString resourcePath, QWidget* parent)
    : QWidget(parent),
      fUi(std::make_unique<Ui::UninstallerWindow>()),
      fResourcePath(std::move(resourcePath)) {
    fUi->setupUi(this);
    fScroller = fUi->fScroller;
    fLogView = fUi->fLogView;
    fProgress = fUi->fProgress;
    fActionButton = fUi->fActionButton;
    fQuitButton = fUi->fQuitButton;
    fInstructionsLabel = fUi->fInstructionsLabel;
    connect(fActionButton, &QPushButton::clicked, this, [this] { Uninstall(fActionButton); });
    connect(fQuitButton, &QPushButton::clicked, this, [this] { Quit(fQuitButton); });
}

UninstallerController::~UninstallerController() = default;

void UninstallerController::Uninstall(QObject*) {
    if (fActionButton->text() == kDoneTitle) {
        AskToRestart();
    } else {
        Start();
    }
}

void UninstallerController::Quit(QObject*) {
    emit TerminateApplication();
}

void UninstallerController::WindowWillClose(QCloseEvent*) {
    emit TerminateApplication();
}

void UninstallerController::closeEvent(QCloseEvent* event) {
    WindowWillClose(event);
    QWidget::closeEvent(event);
}

void UninstallerController::Start() {
    fQuitButton->hide();
    fScroller->show();
    fLogView->setReadOnly(false);

    // Asking for a password to run nothing would help no one.
    QString scriptPath = PathForResource(kScriptResource);
    if (scriptPath.isEmpty()) {
        SystemLog("Cannot find " + kScriptResource.toStdString() + " in " +
                  fResourcePath.toStdString());
        return;
    }

    OSStatus status = AuthorizationCreate(kAuthorizationFlagDefaults, &fAuthorization);
    if (status != errAuthorizationSuccess) {
        LogStatus("AuthorizationCreate()", status);
        return;
    }

    AuthorizationRights rights{{kAuthorizationRightExecute, 0}};
    AuthorizationFlags flags = kAuthorizationFlagInteractionAllowed |
                               kAuthorizationFlagExtendRights | kAuthorizationFlagPreAuthorize;
    status = AuthorizationCopyRights(fAuthorization.get(), rights, flags);
    if (status != errAuthorizationSuccess) {
        LogStatus("AuthorizationCopyRights()", status);
        return;
    }

    PrivilegedToolStreams tool;
    status =
        AuthorizationExecuteWithPrivileges(fAuthorization.get(), kTool, kAuthorizationFlagDefaults,
                                           {scriptPath.toUtf8().toStdString()}, &tool);
    if (status != errAuthorizationSuccess) {
        LogStatus("AuthorizationExecuteWithPrivileges()", status);
        return;
    }

    fTool = std::move(tool);
    connect(fTool.output.get(), &FileHandle::ReadCompletion, this,
            &UninstallerController::StandardOutputData);
    fTool.output->ReadInBackgroundAndNotify();
    if (fTool.error) {
        connect(fTool.error.get(), &FileHandle::ReadCompletion, this,
                &UninstallerController::StandardErrorData);
        fTool.error->ReadInBackgroundAndNotify();
    }

    fInstructionsLabel->setText(QStringLiteral("Click \"Done\" to quit."));
    fActionButton->setEnabled(false);
}

void UninstallerController::StandardOutputData(const ReadCompletionNotification& notification) {
    if (notification.data.isEmpty()) {
        fActionButton->setText(kDoneTitle);
        fActionButton->setEnabled(true);
        fLogView->setReadOnly(true);
        return;
    }

    // A chunk holding only the start of a character adds nothing until its end comes.
    QString text = fOutputDecoder.decode(notification.data);
    if (!text.isEmpty()) {
        for (const QString& piece : text.split(u'\n')) {
            QString line = piece + u'\n';
            if (line.startsWith(kProgressPrefix)) {
                ShowProgress(line);
            } else {
                InsertLog(line, Qt::black);
            }
        }
    }
    notification.object->ReadInBackgroundAndNotify();
}

void UninstallerController::StandardErrorData(const ReadCompletionNotification& notification) {
    if (notification.data.isEmpty()) return;
    InsertLog(fErrorDecoder.decode(notification.data), Qt::red);
    notification.object->ReadInBackgroundAndNotify();
}

void UninstallerController::ShowProgress(const QString& line) {
    std::optional<ProgressStep> step = ParseProgressLine(line);
    if (!step) return;
    fProgress->setIndeterminate(false);
    fProgress->setMaxValue(step->maximum);
    fProgress->setDoubleValue(step->current);
}

void UninstallerController::InsertLog(const QString& text, const QColor& color) {
    QTextCharFormat format;
    format.setForeground(color);
    QTextCursor cursor = fLogView->textCursor();
    cursor.insertText(text, format);
    fLogView->setTextCursor(cursor);
}

void UninstallerController::AskToRestart() {
    auto* alert = new QMessageBox(this);
    alert->setWindowModality(Qt::WindowModal);
    alert->setIcon(QMessageBox::Warning);
    alert->setText(
        QStringLiteral("It is recommended that you restart your computer before continuing."));
    QPushButton* restart = alert->addButton(QStringLiteral("Restart"), QMessageBox::AcceptRole);
    QPushButton* quit = alert->addButton(QStringLiteral("Quit"), QMessageBox::RejectRole);
    alert->setDefaultButton(restart);
    alert->setEscapeButton(quit);
    connect(alert, &QMessageBox::finished, this, [this, alert, restart] {
        int returnCode =
            alert->clickedButton() == restart ? kAlertFirstButtonReturn : kAlertSecondButtonReturn;
        alert->deleteLater();
        AlertDidEnd(alert, returnCode, nullptr);
    });
    alert->open();
}

void UninstallerController::AlertDidEnd(QMessageBox*, int returnCode, void*) {
    if (returnCode == kAlertFirstButtonReturn) {
        OSErr err = SendAppleEventClass(kCoreEventClass, kAERestart, kRestartTarget);
        if (err != noErr) SystemLog("Failed to restart due to AppleScript error");
    }
    emit TerminateApplication();
}

OSErr UninstallerController::SendAppleEventClass(AEEventClass eventClass, AEEventID eventID,
                                                 const QString& applicationName) {
    ProcessSerialNumber psn{0, kNoProcess};
    GetProcessSerialNumber(&psn, &applicationName);

    AEAddressDesc target;
    OSErr err = AECreateDesc(typeProcessSerialNumber, &psn, sizeof psn, &target);
    if (err != noErr) return err;

    AppleEvent event;
    err = AECreateAppleEvent(eventClass, eventID, &target, kAutoGenerateReturnID, kAnyTransactionID,
                             &event);
    if (err != noErr) return err;

    // A refused restart is reported, so the caller can log it.
    return AESend(event, kAENoReply, kAENormalPriority, kSendTimeoutTicks);
}

void UninstallerController::GetProcessSerialNumber(ProcessSerialNumber* psn,
                                                   const QString* applicationName) {
    if (psn == nullptr || applicationName == nullptr) return;
    QByteArray name = applicationName->toUtf8();
    *psn = {0, kNoProcess};
    Str255 processName;
    while (GetNextProcess(psn) == noErr) {
        ProcessInfoRec info{sizeof(ProcessInfoRec), processName, {}};
        if (GetProcessInformation(psn, &info) != noErr) continue;
        // Only the name's own bytes are compared; a shorter name never matches.
        if (processName[0] >= name.size() &&
            std::memcmp(processName + 1, name.constData(), name.size()) == 0) {
            return;
        }
    }
}

QString UninstallerController::PathForResource(const QString& name) const {
    QFileInfo resource(fResourcePath + u'/' + name);
    return resource.isFile() ? resource.absoluteFilePath() : QString();
}
