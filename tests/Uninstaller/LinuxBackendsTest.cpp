// The Linux backends with real processes. The elevation command is replaced:
// `env` grants at once (runs the gate as the test's own user), and small shell
// commands stand in for a dismissed or refused pkexec prompt.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <fstream>

#include "Authorization.h"
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

}  // namespace
