// TFormSettingsControls: the main window's controls as the settings rules see them
// (TSettingsControls): the outer size and maximising through the window's geometry, the file
// type, the file names, the symbol option and the call-stack size through their widgets.
#pragma once

#include "ui/settings/WindowSettings.h"

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QSpinBox;

namespace hookmeter {

class TOutputNameBoxes;
class TWindowGeometry;

class TFormSettingsControls final : public TSettingsControls {
public:
    // The window's; they must outlive this object.
    struct TControls {
        TWindowGeometry* Geometry = nullptr;
        QButtonGroup* FileTypeButtons = nullptr; // ids 0 "text", 1 "binary"
        QLineEdit* EditRawFile = nullptr;
        QCheckBox* CheckBoxGlobalSymbolOnly = nullptr;
        QLineEdit* EditDSPoutFile = nullptr;
        TOutputNameBoxes* OutputNames = nullptr;
        QSpinBox* UpDownCallStackSize = nullptr;
    };

    explicit TFormSettingsControls(const TControls& controls) : Controls(controls) {}

    void SetOuterWidth(int width) override;
    void SetOuterHeight(int height) override;
    void Maximise() override;
    void SetRawDataFileType(int index) override;
    void SetRawDataFileName(const QString& name) override;
    // Every output name, the optional outputs' included.
    void SetOutputFileNames(const QString& rawDataFileName) override;
    void SetParseGlobalSymbolOnly(bool checked) override;
    void SetDSPOutFileName(const QString& name) override;
    void SetCallStackSize(int size) override;
    bool IsMaximised() const override;
    int OuterWidth() const override;
    int OuterHeight() const override;
    int RawDataFileType() const override;
    QString RawDataFileName() const override;
    bool ParseGlobalSymbolOnly() const override;
    QString DSPOutFileName() const override;
    int CallStackSize() const override;

private:
    const TControls Controls;
};

} // namespace hookmeter
