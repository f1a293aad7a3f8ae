// The Linux backends with real processes. The elevation command is replaced:
// `env` grants at once (runs the gate as the test's own user), and small shell
// commands stand in for a dismissed or refused pkexec prompt.

#include <gtest/gtest.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <fstream>

#include "AppleEvents.h"
#include "Authorization.h"
#include "LinuxAppleEvents.h"
#include "LinuxAuthorization.h"
#include "LinuxProcessManager.h"
#include "Logging.h"
#include "ProcessManager.h"
#include "QtTestSupport.h"
#include "UninstallerController.h"

using namespace platform;

namespace {

const std::vector<std::string> kGrantAtOnce = {"/usr/bin/env"};

AuthorizationRights AdminRight() {
    return {{kAuthorizationRightExecute, 0}};
}
constexpr AuthorizationFlags kInteractive = kAuthorizationFlagInteractionAllowed;

// Everything a stream delivers until its end.
QByteArray ReadToEnd(FileHandle& handle) {
    QByteArray all;
    bool ended = false;
    QObject::connect(&handle, &FileHandle::ReadCompletion,
                     [&](const ReadCompletionNotification& notification) {
                         if (notification.data.isEmpty()) {
                             ended = true;
                             return;
                         }
                         all += notification.data;
                         notification.object->ReadInBackgroundAndNotify();
                     });
    handle.ReadInBackgroundAndNotify();
    EXPECT_TRUE(SpinUntil([&] { return ended; }));
    return all;
}

class UninstallerLinuxBackendsTest : public ::testing::Test {
protected:
    UninstallerLinuxBackendsTest() { TestApplication(); }

    QString WriteScript(const char* text) {
        QString path = fFolder.filePath("uninstall.sh");
        QFile script(path);
        script.open(QIODevice::WriteOnly);
        script.write(text);
        return path;
    }

    QTemporaryDir fFolder;
};

TEST_F(UninstallerLinuxBackendsTest, GrantedToolRunsWithItsArgumentsAndBothStreamsEnd) {
    QString script = WriteScript("echo \"out:$1\"; echo err >&2; echo PROGRESS:1/1\n");
    LinuxAuthorization authorization(kGrantAtOnce);
    ASSERT_EQ(authorization.CopyRights(AdminRight(), kInteractive), errAuthorizationSuccess);
    PrivilegedToolStreams tool;
    ASSERT_EQ(authorization.ExecuteWithPrivileges(
                  "/bin/sh", 0, {script.toStdString(), "two words 'quoted'"}, &tool),
              errAuthorizationSuccess);
    ASSERT_NE(tool.output, nullptr);
    ASSERT_NE(tool.error, nullptr);
    EXPECT_EQ(ReadToEnd(*tool.output), "out:two words 'quoted'\nPROGRESS:1/1\n");
    EXPECT_EQ(ReadToEnd(*tool.error), "err\n");

    PrivilegedToolStreams again;
    EXPECT_EQ(authorization.ExecuteWithPrivileges("/bin/sh", 0, {script.toStdString()}, &again),
              errAuthorizationToolExecuteFailure);
}

// A prompt that is dismissed or refused runs nothing and reports why.
TEST_F(UninstallerLinuxBackendsTest, UnansweredPromptRunsNothing) {
    struct Case {
        std::vector<std::string> elevation;
        OSStatus status;
    };
    const Case cases[] = {
        {{"/bin/sh", "-c", "exit 126", "pkexec"}, errAuthorizationCanceled},
        {{"/bin/sh", "-c", "exit 127", "pkexec"}, errAuthorizationDenied},
        {{"/bin/sh", "-c", "echo surprise", "pkexec"}, errAuthorizationInternal},
        {{"/nonexistent/pkexec"}, errAuthorizationInternal},
    };
    QString marker = fFolder.filePath("ran");
    QString script = WriteScript("touch \"$1\"\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.elevation[0] + " " + (c.elevation.size() > 2 ? c.elevation[2] : ""));
        LinuxAuthorization authorization(c.elevation);
        EXPECT_EQ(authorization.CopyRights(AdminRight(), kInteractive), c.status);
        PrivilegedToolStreams tool;
        EXPECT_EQ(authorization.ExecuteWithPrivileges(
                      "/bin/sh", 0, {script.toStdString(), marker.toStdString()}, &tool),
                  errAuthorizationDenied);
        EXPECT_EQ(tool.output, nullptr);
    }
    EXPECT_FALSE(QFile::exists(marker));
}

TEST_F(UninstallerLinuxBackendsTest, RightsOutsideTheAdministratorsAreRefusedWithoutAPrompt) {
    LinuxAuthorization authorization({"/bin/false"});
    EXPECT_EQ(authorization.CopyRights({{"system.other", 0}}, kInteractive),
              errAuthorizationDenied);
    EXPECT_EQ(authorization.CopyRights(AdminRight(), kAuthorizationFlagDefaults),
              errAuthorizationInteractionNotAllowed);
}

// The whole window on the Linux backend: the script's output reaches the log
// and its end turns the button into "Done".
TEST_F(UninstallerLinuxBackendsTest, ControllerRunsTheScriptToDone) {
    WriteScript("echo removing; echo PROGRESS:1/2; echo oops >&2; echo PROGRESS:2/2; echo gone\n");
    auto previous =
        InstallAuthorizationBackend(std::make_unique<LinuxAuthorizationBackend>(kGrantAtOnce));
    {
        ScopedCapturedLog log;
        UninstallerController controller(fFolder.path());
        auto* action = controller.findChild<QPushButton*>("fActionButton");
        action->click();
        EXPECT_TRUE(SpinUntil([&] { return action->text() == "Done"; }));
        QString text = controller.findChild<QTextEdit*>("fLogView")->toPlainText();
        EXPECT_TRUE(text.contains("removing\n"));
        EXPECT_TRUE(text.contains("gone\n"));
        EXPECT_FALSE(text.contains("PROGRESS"));
        EXPECT_TRUE(log.Entries().empty());
    }
    InstallAuthorizationBackend(std::move(previous));
}

TEST_F(UninstallerLinuxBackendsTest, ProcessWalkFindsThisProcessByItsName) {
    auto previous = InstallProcessManagerBackend(std::make_unique<LinuxProcessManagerBackend>());
    std::string comm;
    std::getline(std::ifstream("/proc/self/comm"), comm);

    ProcessSerialNumber psn{0, kNoProcess};
    bool found = false;
    while (!found && GetNextProcess(&psn) == noErr)
        found = psn.lowLongOfPSN == static_cast<std::uint32_t>(getpid());
    EXPECT_TRUE(found);

    Str255 name;
    ProcessInfoRec info{sizeof(ProcessInfoRec), name, {}};
    ASSERT_EQ(GetProcessInformation(&psn, &info), noErr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(name + 1), name[0]), comm);
    EXPECT_EQ(info.processNumber.lowLongOfPSN, psn.lowLongOfPSN);

    info.processInfoLength = 0;
    EXPECT_EQ(GetProcessInformation(&psn, &info), paramErr);
    ProcessSerialNumber gone{0, 0x7fffffff};
    info.processInfoLength = sizeof(ProcessInfoRec);
    EXPECT_EQ(GetProcessInformation(&gone, &info), procNotFound);
    EXPECT_EQ(GetNextProcess(&gone), procNotFound);
    EXPECT_EQ(gone.lowLongOfPSN, kNoProcess);
    InstallProcessManagerBackend(std::move(previous));
}

// A private bus daemon (with the session bus's rules) whose address stands in
// for the system bus's.
class PrivateSystemBus {
public:
    explicit PrivateSystemBus(const QString& folder) : fPrevious(qgetenv(kVariable)) {
        fDaemon.start("dbus-daemon",
                      {"--session", "--nofork", "--print-address", "--address=unix:dir=" + folder});
        if (fDaemon.waitForStarted(5000) && fDaemon.waitForReadyRead(10000)) {
            fAddress = fDaemon.readLine().trimmed();
            qputenv(kVariable, fAddress);
        }
    }
    ~PrivateSystemBus() {
        if (fPrevious.isEmpty()) {
            qunsetenv(kVariable);
        } else {
            qputenv(kVariable, fPrevious);
        }
        fDaemon.kill();
        fDaemon.waitForFinished(5000);
    }
    const QByteArray& Address() const { return fAddress; }

private:
    static constexpr const char* kVariable = "DBUS_SYSTEM_BUS_ADDRESS";
    QByteArray fPrevious;
    QProcess fDaemon;
    QByteArray fAddress;
};

// The restart request leaves before the controller returns, and logind's
// refusal, answered only afterwards, is still logged.
TEST_F(UninstallerLinuxBackendsTest, RestartRequestIsSentWithoutWaitingForLogind) {
    PrivateSystemBus bus(fFolder.path());
    if (bus.Address().isEmpty()) GTEST_SKIP() << "no dbus-daemon";
    sd_bus* logind = nullptr;
    ASSERT_GE(sd_bus_new(&logind), 0);
    sd_bus_set_address(logind, bus.Address().constData());
    sd_bus_set_bus_client(logind, 1);
    ASSERT_GE(sd_bus_start(logind), 0);
    ASSERT_GE(sd_bus_request_name(logind, "org.freedesktop.login1", 0), 0);

    auto previous = InstallAppleEventBackend(std::make_unique<LinuxAppleEventBackend>());
    {
        ScopedCapturedLog log;
        UninstallerController controller(fFolder.path());
        int terminated = 0;
        QObject::connect(&controller, &UninstallerController::TerminateApplication,
                         [&] { ++terminated; });
        controller.AlertDidEnd(nullptr, UninstallerController::kAlertFirstButtonReturn, nullptr);
        EXPECT_EQ(terminated, 1);
        EXPECT_TRUE(log.Entries().empty());

        sd_bus_message* request = nullptr;
        QDeadlineTimer deadline(10000);
        while (request == nullptr && !deadline.hasExpired()) {
            sd_bus_message* message = nullptr;
            const int result = sd_bus_process(logind, &message);
            if (message != nullptr &&
                sd_bus_message_is_method_call(message, "org.freedesktop.login1.Manager", "Reboot")) {
                request = message;
            } else {
                sd_bus_message_unref(message);
                if (result == 0) sd_bus_wait(logind, 100000);
            }
        }
        ASSERT_NE(request, nullptr);
        int interactive = 0;
        EXPECT_GE(sd_bus_message_read(request, "b", &interactive), 0);
        EXPECT_TRUE(interactive);
        sd_bus_reply_method_errorf(request, "org.freedesktop.DBus.Error.AccessDenied", "Denied.");
        sd_bus_flush(logind);
        sd_bus_message_unref(request);

        EXPECT_TRUE(SpinUntil([&] { return !log.Entries().empty(); }));
        ASSERT_EQ(log.Entries().size(), 1U);
        EXPECT_EQ(log.Entries()[0].text,
                  "Restart request refused: org.freedesktop.DBus.Error.AccessDenied: Denied.");
    }
    // Closes the connection to the private bus before the daemon goes.
    InstallAppleEventBackend(std::move(previous));
    sd_bus_flush_close_unref(logind);
}

}  // namespace
