// The hint sheet and its "do not show again" choices, kept in a user-defaults
// file of a temporary configuration folder.

#include <QAbstractButton>
#include <QDialog>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "LinuxUserDefaults.h"
#include "MappingInfoPanelController.h"
#include "PaneFixture.h"

namespace {

class HintTest : public PaneFixture {
protected:
    void SetUp() override {
        auto defaults = std::make_unique<platform::LinuxUserDefaults>(fHome.Path() / ".config");
        fDefaults = defaults.get();
        fPrevious = platform::InstallUserDefaultsBackend(std::move(defaults));
        Load();
    }
    void TearDown() override { platform::InstallUserDefaultsBackend(std::move(fPrevious)); }

    AMappingInfoPanelController& Hints() { return *fPane->fMappingInfoPanelController; }
    // Shows the hint; answers it (ticking the box or not) when it appeared.
    bool ShowAndAnswer(int id, bool dontShowAgain) {
        Hints().ShowMessageWithId(id);
        if (!Hints().fPanel->isVisible()) {
            return false;
        }
        EXPECT_FALSE(Hints().fDontShowCheckBox->isChecked());
        Hints().fDontShowCheckBox->setChecked(dontShowAgain);
        Hints().fOkButton->click();
        EXPECT_FALSE(Hints().fPanel->isVisible());
        return true;
    }
    QJsonObject StoredDomain() {
        QFile file(QString::fromStdString(fDefaults->PathOf(Hints().bundleId()).string()));
        return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                              : QJsonObject();
    }

    platform::LinuxUserDefaults* fDefaults = nullptr;
    std::unique_ptr<platform::UserDefaultsBackend> fPrevious;
};

TEST_F(HintTest, TickedHintIsRememberedPerHintUntilRestoreDefaults) {
    Hints().ShowMessageWithId(0);
    EXPECT_EQ(QString::fromUtf8(kButtonMappingInfoLabels[0]), Hints().fMessageField->text());
    Hints().fOkButton->click();
    EXPECT_EQ(QJsonArray({false, false}), StoredDomain().value("DontShows").toArray());

    EXPECT_TRUE(ShowAndAnswer(0, true));
    EXPECT_EQ(QJsonObject({{"DontShows", QJsonArray({true, false})}}), StoredDomain());
    EXPECT_FALSE(ShowAndAnswer(0, false));
    EXPECT_TRUE(ShowAndAnswer(1, false));

    Select();
    Buttons().RestoreDefaultValues(nullptr);
    EXPECT_TRUE(StoredDomain().isEmpty());
    EXPECT_TRUE(ShowAndAnswer(0, false));
}

TEST_F(HintTest, OddStoredChoicesNeitherCrashNorHideHints) {
    const std::string domain = Hints().bundleId();
    platform::NSUserDefaults& defaults = platform::NSUserDefaults::standardUserDefaults();
    using platform::PropertyList;
    defaults.setPersistentDomain({{"DontShows", PropertyList(PropertyList::Array{PropertyList("yes")})}},
                                 domain);
    EXPECT_TRUE(ShowAndAnswer(1, false));
    defaults.setPersistentDomain({{"DontShows", PropertyList::MakeInteger(1)}}, domain);
    EXPECT_TRUE(ShowAndAnswer(0, false));
    Hints().ShowMessageWithId(2);
    Hints().ShowMessageWithId(-1);
    EXPECT_FALSE(Hints().fPanel->isVisible());
}

}  // namespace
