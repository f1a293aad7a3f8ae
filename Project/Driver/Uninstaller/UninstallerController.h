#pragma once

#include <QColor>
#include <QString>
#include <QStringDecoder>
#include <QWidget>
#include <memory>

#include "AppleEvents.h"
#include "Authorization.h"
#include "FileHandle.h"
#include "ProcessManager.h"

class QCloseEvent;
class QFrame;
class QLabel;
class QMessageBox;
class QPushButton;
class QTextEdit;
class ProgressIndicator;

namespace Ui {
class UninstallerWindow;
}

// The uninstaller's window: runs "uninstall.sh" as the administrator, shows its
// output and progress, and offers a restart when it has finished.
class UninstallerController : public QWidget {
    Q_OBJECT

public:
    // The alert's answers: its first button ("Restart") and its second ("Quit").
    static constexpr int kAlertFirstButtonReturn = 1000;
    static constexpr int kAlertSecondButtonReturn = 1001;

    // resourcePath: the folder that holds "uninstall.sh".
    explicit UninstallerController(QString resourcePath, QWidget* parent = nullptr);
    ~UninstallerController() override;

    void Uninstall(QObject* sender);
    void Quit(QObject* sender);
    void WindowWillClose(QCloseEvent* notification);
    void StandardOutputData(const platform::ReadCompletionNotification& notification);
    void StandardErrorData(const platform::ReadCompletionNotification& notification);
    void AlertDidEnd(QMessageBox* alert, int returnCode, void* contextInfo);
    platform::OSErr SendAppleEventClass(platform::AEEventClass eventClass,
                                        platform::AEEventID eventID,
                                        const QString& applicationName);
    void GetProcessSerialNumber(platform::ProcessSerialNumber* psn, const QString* applicationName);

signals:
    // The application is to end now.
    void TerminateApplication();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Start();
    void AskToRestart();
    void ShowProgress(const QString& line);
    void InsertLog(const QString& text, const QColor& color);
    QString PathForResource(const QString& name) const;

    QFrame* fScroller;
    QTextEdit* fLogView;
    ProgressIndicator* fProgress;
    QPushButton* fActionButton;
    QPushButton* fQuitButton;
    QLabel* fInstructionsLabel;

    std::unique_ptr<Ui::UninstallerWindow> fUi;
    QString fResourcePath;
    // Kept until the next start: the tool it runs may depend on it.
    platform::AuthorizationRef fAuthorization;
    platform::PrivilegedToolStreams fTool;
    // Per stream, so that a character split between two chunks stays whole.
    QStringDecoder fOutputDecoder{QStringDecoder::Utf8};
    QStringDecoder fErrorDecoder{QStringDecoder::Utf8};
};
