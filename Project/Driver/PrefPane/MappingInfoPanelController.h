#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <cstdint>
#include <string>

class QAbstractButton;
class QDialog;
class QLabel;

// Shows a hint as a sheet for a function that needs particular system
// settings, with a check box for not showing it again. The choice is kept per
// hint in the user defaults, in the domain named by the pane bundle's
// identifier, under "DontShows".
class AMappingInfoPanelController : public QObject {
public:
    static constexpr std::int32_t kNumHints = 2;

    explicit AMappingInfoPanelController(QObject* parent = nullptr) : QObject(parent) {}

    // Outlet, and the panel's controls bound to `message` and `dontShow`.
    QDialog* fPanel = nullptr;
    QLabel* fMessageField = nullptr;
    QAbstractButton* fDontShowCheckBox = nullptr;
    QAbstractButton* fOkButton = nullptr;

    void awakeFromNib();
    void ShowMessageWithId(std::int32_t messageId);
    void Ok(QObject* sender);
    void LoadDontShows();
    void SaveDontShows();

    QDialog* panel() const { return fPanel; }
    const QString& message() const { return fMessage; }
    void setMessage(const QString& message);
    bool dontShow() const { return fDontShow; }
    void setDontShow(bool dontShow);
    const std::string& bundleId() const { return fBundleId; }
    const std::array<bool, kNumHints>& dontShows() const { return fDontShows; }

private:
    std::int32_t fCurrentId = 0;
    std::array<bool, kNumHints> fDontShows{};
    bool fDontShow = false;
    QString fMessage;
    std::string fBundleId;
};

// The hint texts by identifier.
extern const std::array<const char*, AMappingInfoPanelController::kNumHints>
    kButtonMappingInfoLabels;
