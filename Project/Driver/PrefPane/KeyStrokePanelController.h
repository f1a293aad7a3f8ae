#pragma once

#include <QObject>
#include <cstdint>
#include <memory>

#include "ButtonMapping.h"

class AKeyStrokePanel;
class QLineEdit;

// Opens and closes the recording sheet for one button and turns its result
// into a "KeyStroke Recording" mapping, announced with the local notification
// "ButtonMacroMappingChangeNotif".
class AKeyStrokePanelController : public QObject {
public:
    explicit AKeyStrokePanelController(QObject* parent = nullptr) : QObject(parent) {}

    // Outlets, set when the interface is loaded.
    AKeyStrokePanel* fKeyStrokePanel = nullptr;
    QLineEdit* fMacroInputField = nullptr;

    // Connects the sheet's three buttons.
    void awakeFromNib();

    void ShowWindowForButtonIndex(std::uint32_t buttonIndex, bool isPrimary,
                                  std::shared_ptr<const AButtonMapping> currentMapping);
    void Ok(QObject* sender);
    void Clear(QObject* sender);
    void Cancel(QObject* sender);
    void SetKeyStrokeRecordingMacro(const QString& keys);

    const std::shared_ptr<const AButtonMapping>& currentMapping() const { return fCurrentMapping; }
    void setCurrentMapping(std::shared_ptr<const AButtonMapping> mapping) {
        fCurrentMapping = std::move(mapping);
    }

private:
    void EndSheet();

    std::shared_ptr<const AButtonMapping> fCurrentMapping;
    std::uint32_t fButtonIndex = 0;
    bool fButtonIsPrimary = true;
};
