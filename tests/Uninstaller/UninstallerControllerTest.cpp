#include <gtest/gtest.h>

#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>
#include <cstring>

#include "AppleEvents.h"
#include "Authorization.h"
#include "Logging.h"
#include "ProgressIndicator.h"
#include "QtTestSupport.h"
#include "SimulatedAppleEvents.h"
#include "SimulatedAuthorization.h"
#include "SimulatedProcessManager.h"
#include "UninstallerController.h"

using namespace platform;

namespace {

using ScopedAuthorization = ScopedBackend<SimulatedAuthorizationBackend, AuthorizationBackend,
                                          &InstallAuthorizationBackend>;
using ScopedAppleEvents =
    ScopedBackend<SimulatedAppleEventBackend, AppleEventBackend, &InstallAppleEventBackend>;
using ScopedProcesses = ScopedBackend<SimulatedProcessManagerBackend, ProcessManagerBackend,
                                      &InstallProcessManagerBackend>;

const QString kReadyLabel = "This removes";

class UninstallerControllerTest : public ::testing::Test {
protected:
    UninstallerControllerTest() {
        TestApplication();
        QFile script(fResources.filePath("uninstall.sh"));
        script.open(QIODevice::WriteOnly);
        fProcesses->fProcesses = {{1, "init"}, {57, "loginwindow"}, {90, "Uninstaller"}};
        fController = std::make_unique<UninstallerController>(fResources.path());
        fController->show();
    }

    template <typename Widget>
    Widget* Outlet(const char* name) {
        return fController->findChild<Widget*>(name);
    }
    QPushButton* ActionButton() { return Outlet<QPushButton>("fActionButton"); }
    QTextEdit* LogView() { return Outlet<QTextEdit>("fLogView"); }
    ProgressIndicator* Progress() { return Outlet<ProgressIndicator>("fProgress"); }
    QString Label() { return Outlet<QLabel>("fInstructionsLabel")->text(); }

    std::vector<std::string> SystemLogLines() const {
        std::vector<std::string> lines;
        for (const auto& entry : fLog.Entries()) lines.push_back(entry.text);
        return lines;
    }

    // Clicks the action button, lets the run start, and feeds the script's output.
    void Start() {
        ActionButton()->click();
        DrainEvents();
    }
    void Output(const QByteArray& chunk) {
        fAuthorization->fLastOutput->Push(chunk);
        DrainEvents();
    }
    void RunToFinished() {
        Start();
        Output({});
    }
    QMessageBox* OpenRestartAlert() {
        RunToFinished();
        ActionButton()->click();
        return fController->findChild<QMessageBox*>();
    }
    QPushButton* AlertButton(QMessageBox* alert, const QString& title) {
        for (QAbstractButton* button : alert->buttons()) {
            if (button->text() == title) return qobject_cast<QPushButton*>(button);
        }
        return nullptr;
    }

    ScopedCapturedLog fLog;
    ScopedAuthorization fAuthorization;
    ScopedAppleEvents fAppleEvents;
    ScopedProcesses fProcesses;
    QTemporaryDir fResources;
    std::unique_ptr<UninstallerController> fController;
};

TEST_F(UninstallerControllerTest, ReadyWindowComesFromTheInterfaceFile) {
    EXPECT_TRUE(ActionButton()->isEnabled());
    EXPECT_EQ(ActionButton()->text(), "Uninstall");
    EXPECT_TRUE(Outlet<QPushButton>("fQuitButton")->isVisible());
    EXPECT_FALSE(Outlet<QFrame>("fScroller")->isVisible());
    EXPECT_TRUE(Progress()->isIndeterminate());
    EXPECT_TRUE(Label().startsWith(kReadyLabel));
}

TEST_F(UninstallerControllerTest, StartRunsTheScriptAsAdministratorAndReadsItsOutput) {
    Start();

    std::string script =
        QFileInfo(fResources.filePath("uninstall.sh")).absoluteFilePath().toStdString();
    EXPECT_EQ(fAuthorization->fCalls,
              (std::vector<std::string>{
                  "AuthorizationCreate flags=0x0",
                  "AuthorizationCopyRights system.privilege.admin flags=0x13",
                  "AuthorizationExecuteWithPrivileges /bin/sh " + script + " options=0x0"}));
    EXPECT_FALSE(Outlet<QPushButton>("fQuitButton")->isVisible());
    EXPECT_TRUE(Outlet<QFrame>("fScroller")->isVisible());
    EXPECT_FALSE(LogView()->isReadOnly());
    EXPECT_FALSE(ActionButton()->isEnabled());
    EXPECT_EQ(Label(), "Click \"Done\" to quit.");
    EXPECT_TRUE(fAuthorization->fLastOutput->IsReadPending());
    EXPECT_TRUE(SystemLogLines().empty());
}

// Each failing call is logged with its status, nothing after it is called, and
// the window stays ready for another try, which then goes through.
TEST_F(UninstallerControllerTest, FailedAuthorisationCallsLeaveTheWindowReadyForAnotherTry) {
    struct Case {
        OSStatus SimulatedAuthorizationBackend::Script::*step;
        OSStatus status;
        std::string logLine;
        std::size_t callsMade;
    };
    const Case cases[] = {
        {&SimulatedAuthorizationBackend::Script::create, errAuthorizationInternal,
         "AuthorizationCreate() returned -60008", 1},
        {&SimulatedAuthorizationBackend::Script::copyRights, errAuthorizationCanceled,
         "AuthorizationCopyRights() returned -60006", 2},
        {&SimulatedAuthorizationBackend::Script::copyRights, errAuthorizationDenied,
         "AuthorizationCopyRights() returned -60005", 2},
        {&SimulatedAuthorizationBackend::Script::execute, errAuthorizationToolExecuteFailure,
         "AuthorizationExecuteWithPrivileges() returned -60031", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.logLine);
        ScopedCapturedLog log;
        ScopedAuthorization authorization;
        UninstallerController controller(fResources.path());
        controller.show();
        auto* action = controller.findChild<QPushButton*>("fActionButton");
        authorization->fScript.*c.step = c.status;

        action->click();
        DrainEvents();

        ASSERT_EQ(log.Entries().size(), 1U);
        EXPECT_EQ(log.Entries()[0].channel, CapturedLogBackend::Channel::SystemLog);
        EXPECT_EQ(log.Entries()[0].text, c.logLine);
        EXPECT_EQ(authorization->fCalls.size(), c.callsMade);
        EXPECT_EQ(authorization->fLastOutput, nullptr);
        EXPECT_FALSE(controller.findChild<QPushButton*>("fQuitButton")->isVisible());
        EXPECT_TRUE(controller.findChild<QFrame*>("fScroller")->isVisible());
        EXPECT_TRUE(action->isEnabled());
        EXPECT_EQ(action->text(), "Uninstall");
        EXPECT_TRUE(
            controller.findChild<QLabel*>("fInstructionsLabel")->text().startsWith(kReadyLabel));

        authorization->fScript = {};
        action->click();
        DrainEvents();
        EXPECT_NE(authorization->fLastOutput, nullptr);
        EXPECT_FALSE(action->isEnabled());
    }
}

TEST_F(UninstallerControllerTest, MissingScriptAsksForNoPassword) {
    QFile::remove(fResources.filePath("uninstall.sh"));
    Start();
    EXPECT_TRUE(fAuthorization->fCalls.empty());
    ASSERT_EQ(SystemLogLines().size(), 1U);
    EXPECT_EQ(SystemLogLines()[0].rfind("Cannot find uninstall.sh in ", 0), 0U);
    EXPECT_TRUE(ActionButton()->isEnabled());
}

// What the log shows and where the bar stands after the script's output
// arrives in the given chunks.
TEST_F(UninstallerControllerTest, OutputChunksAreShownLineByLine) {
    struct Case {
        const char* name;
        std::vector<QByteArray> chunks;
        QString log;
        bool indeterminate;
        double current;
        double maximum;
    };
    const Case cases[] = {
        {"progress between lines", {"a\nPROGRESS:2/4\nb\n"}, "a\nb\n\n", false, 2, 4},
        {"line split between chunks",
         {"first half, sec", "ond half\n"},
         "first half, sec\nond half\n\n",
         true,
         0,
         100},
        {"chunk without a line break", {"tail"}, "tail\n", true, 0, 100},
        {"last progress line wins", {"PROGRESS:1/3\n", "PROGRESS:3/3"}, "\n", false, 3, 3},
        {"fractions, exponents, trailing words",
         {"PROGRESS: 2.5e0/ 5 steps:x\n"},
         "\n",
         false,
         2.5,
         5},
        {"no number counts as 0", {"PROGRESS:some/thing\n"}, "\n", false, 0, 0},
        {"no slash is ignored", {"PROGRESS:7\nPROGRESS:\n"}, "\n", true, 0, 100},
        {"prefix must start the line", {" PROGRESS:1/2\n"}, " PROGRESS:1/2\n\n", true, 0, 100},
        {"character split between chunks", {"caf\xC3", "\xA9\n"}, "caf\n\u00e9\n\n", true, 0, 100},
        {"invalid bytes are replaced", {"x\xFFy\n"}, "x\uFFFDy\n\n", true, 0, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedAuthorization authorization;
        UninstallerController controller(fResources.path());
        controller.findChild<QPushButton*>("fActionButton")->click();
        DrainEvents();
        for (const QByteArray& chunk : c.chunks) {
            authorization->fLastOutput->Push(chunk);
            DrainEvents();
        }
        auto* progress = controller.findChild<ProgressIndicator*>("fProgress");
        EXPECT_EQ(controller.findChild<QTextEdit*>("fLogView")->toPlainText(), c.log);
        EXPECT_EQ(progress->isIndeterminate(), c.indeterminate);
        EXPECT_DOUBLE_EQ(progress->doubleValue(), c.current);
        EXPECT_DOUBLE_EQ(progress->maxValue(), c.maximum);
        EXPECT_EQ(authorization->fLastOutput->ReadsStarted(),
                  1 + static_cast<int>(c.chunks.size()));
        EXPECT_FALSE(controller.findChild<QPushButton*>("fActionButton")->isEnabled());
    }
}

TEST_F(UninstallerControllerTest, BarStaysInRangeForAnyProgressNumbers) {
    Start();
    const std::pair<const char*, int> lines[] = {
        {"PROGRESS:2/4\n", 5000}, {"PROGRESS:9/4\n", 10000},     {"PROGRESS:-3/4\n", 0},
        {"PROGRESS:1/0\n", 0},    {"PROGRESS:1e400/1\n", 10000}, {"PROGRESS:1/1e400\n", 0},
    };
    for (const auto& [line, value] : lines) {
        Output(line);
        EXPECT_EQ(Progress()->value(), value) << line;
        EXPECT_EQ(Progress()->maximum(), 10000) << line;
    }
}

TEST_F(UninstallerControllerTest, EmptyFirstChunkFinishesAtOnce) {
    RunToFinished();
    EXPECT_EQ(ActionButton()->text(), "Done");
    EXPECT_TRUE(ActionButton()->isEnabled());
    EXPECT_TRUE(LogView()->isReadOnly());
    EXPECT_EQ(LogView()->toPlainText(), "");
    EXPECT_EQ(fAuthorization->fLastOutput->ReadsStarted(), 1);
    EXPECT_FALSE(fAuthorization->fLastOutput->IsReadPending());
}

TEST_F(UninstallerControllerTest, ErrorStreamIsShownInRedAndEndsQuietly) {
    fAuthorization->fScript.separateErrorStream = true;
    Start();
    Output("one\n");
    fAuthorization->fLastError->Push("rm: cannot remove\nsecond line");
    DrainEvents();
    Output("two\n");
    EXPECT_EQ(LogView()->toPlainText(), "one\n\nrm: cannot remove\nsecond linetwo\n\n");

    QTextCursor cursor(LogView()->document()->findBlockByNumber(2));
    cursor.movePosition(QTextCursor::NextCharacter);
    EXPECT_EQ(cursor.charFormat().foreground().color(), QColor(Qt::red));
    EXPECT_EQ(fAuthorization->fLastError->ReadsStarted(), 2);

    fAuthorization->fLastError->Push({});
    DrainEvents();
    EXPECT_EQ(fAuthorization->fLastError->ReadsStarted(), 2);
    EXPECT_FALSE(ActionButton()->isEnabled());
    Output({});
    EXPECT_EQ(ActionButton()->text(), "Done");
}

TEST_F(UninstallerControllerTest, DoneAsksWhetherToRestart) {
    QMessageBox* alert = OpenRestartAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_TRUE(alert->isVisible());
    EXPECT_EQ(alert->windowModality(), Qt::WindowModal);
    EXPECT_EQ(alert->text(), "It is recommended that you restart your computer before continuing.");
    EXPECT_NE(AlertButton(alert, "Restart"), nullptr);
    EXPECT_NE(AlertButton(alert, "Quit"), nullptr);
    EXPECT_EQ(alert->defaultButton(), AlertButton(alert, "Restart"));
}

TEST_F(UninstallerControllerTest, RestartSendsTheRestartEventToLoginwindowThenTerminates) {
    QSignalSpy terminate(fController.get(), &UninstallerController::TerminateApplication);
    AlertButton(OpenRestartAlert(), "Restart")->click();
    DrainEvents();

    ASSERT_EQ(fAppleEvents->fSent.size(), 1U);
    const auto& sent = fAppleEvents->fSent[0];
    EXPECT_EQ(sent.event.eventClass, FourCharCode("aevt"));
    EXPECT_EQ(sent.event.eventID, FourCharCode("rest"));
    EXPECT_EQ(sent.event.returnID, kAutoGenerateReturnID);
    EXPECT_EQ(sent.event.transactionID, kAnyTransactionID);
    EXPECT_EQ(sent.event.target.descriptorType, typeProcessSerialNumber);
    ProcessSerialNumber target{};
    ASSERT_EQ(sent.event.target.data.size(), sizeof target);
    std::memcpy(&target, sent.event.target.data.data(), sizeof target);
    EXPECT_EQ(target.lowLongOfPSN, 57U);
    EXPECT_EQ(sent.sendMode, kAENoReply);
    EXPECT_EQ(sent.sendPriority, kAENormalPriority);
    EXPECT_EQ(sent.timeOutInTicks, 1000);
    EXPECT_EQ(terminate.count(), 1);
    EXPECT_TRUE(SystemLogLines().empty());
}

TEST_F(UninstallerControllerTest, QuitInTheAlertSendsNothing) {
    QSignalSpy terminate(fController.get(), &UninstallerController::TerminateApplication);
    AlertButton(OpenRestartAlert(), "Quit")->click();
    DrainEvents();
    EXPECT_TRUE(fAppleEvents->fSent.empty());
    EXPECT_EQ(terminate.count(), 1);
}

TEST_F(UninstallerControllerTest, RefusedRestartIsLoggedAndStillTerminates) {
    fAppleEvents->fSendStatus = errAEPrivilegeError;
    QSignalSpy terminate(fController.get(), &UninstallerController::TerminateApplication);
    fController->AlertDidEnd(nullptr, UninstallerController::kAlertFirstButtonReturn, nullptr);
    EXPECT_EQ(SystemLogLines(),
              std::vector<std::string>{"Failed to restart due to AppleScript error"});
    EXPECT_EQ(terminate.count(), 1);
}

TEST_F(UninstallerControllerTest, QuitButtonAndClosingTheWindowTerminate) {
    QSignalSpy terminate(fController.get(), &UninstallerController::TerminateApplication);
    Outlet<QPushButton>("fQuitButton")->click();
    EXPECT_EQ(terminate.count(), 1);
    fController->close();
    EXPECT_EQ(terminate.count(), 2);
    EXPECT_TRUE(fAuthorization->fCalls.empty());
}

TEST_F(UninstallerControllerTest, ProcessLookupMatchesTheNameAtTheStartOfAReadableProcess) {
    fProcesses->fProcesses = {
        {3, "log"}, {5, std::nullopt}, {8, "loginwindowd"}, {9, "loginwindow"}, {12, "login"}};
    struct Case {
        const char* name;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {"loginwindow", 8}, {"login", 8}, {"log", 3}, {"loginwindow2", kNoProcess}, {"", 3},
    };
    for (const Case& c : cases) {
        ProcessSerialNumber psn{7, 7};
        QString name = QString::fromUtf8(c.name);
        fController->GetProcessSerialNumber(&psn, &name);
        EXPECT_EQ(psn.highLongOfPSN, 0U) << c.name;
        EXPECT_EQ(psn.lowLongOfPSN, c.expected) << c.name;
    }

    ProcessSerialNumber untouched{7, 7};
    fController->GetProcessSerialNumber(&untouched, nullptr);
    EXPECT_EQ(untouched.lowLongOfPSN, 7U);
    QString name = "loginwindow";
    fController->GetProcessSerialNumber(nullptr, &name);
}

TEST_F(UninstallerControllerTest, RestartWithoutLoginwindowAddressesNoProcess) {
    fProcesses->fProcesses = {{1, "init"}};
    EXPECT_EQ(fController->SendAppleEventClass(kCoreEventClass, kAERestart, "loginwindow"), noErr);
    ASSERT_EQ(fAppleEvents->fSent.size(), 1U);
    ProcessSerialNumber target{1, 1};
    std::memcpy(&target, fAppleEvents->fSent[0].event.target.data.data(), sizeof target);
    EXPECT_EQ(target.highLongOfPSN, 0U);
    EXPECT_EQ(target.lowLongOfPSN, kNoProcess);
}

}  // namespace
