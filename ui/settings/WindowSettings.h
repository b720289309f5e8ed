// The window's choices as settings: ApplySettings puts the stored values into the controls when
// the window is shown, StoreSettings takes them back into the list when it is closed. Both work on
// the controls through TSettingsControls, so the rules live apart from any widget.
#pragma once

#include "ui/settings/SettingsList.h"

#include <QString>
#include <stdexcept>

namespace hookmeter {

// The call-stack box's arrows step by this much; its range and default are the job's.
inline constexpr int CallStackSizeStep = 64;

// The radio group's selected index: -1 none, 0 "text", 1 "binary".
int ClampRawDataFileType(int index);
// Within the job's range of call-stack sizes.
int ClampCallStackSize(int size);

// A stored value that should be an integer but is not; what() is the error box's text.
class TInvalidIntegerError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TSettingsControls {
public:
    virtual ~TSettingsControls() = default;

    virtual void SetOuterWidth(int width) = 0;
    virtual void SetOuterHeight(int height) = 0;
    virtual void Maximise() = 0;
    virtual void SetRawDataFileType(int index) = 0; // within -1..1
    virtual void SetRawDataFileName(const QString& name) = 0;
    // Both output names, derived from a raw record file name.
    virtual void SetOutputFileNames(const QString& rawDataFileName) = 0;
    virtual void SetParseGlobalSymbolOnly(bool checked) = 0;
    virtual void SetDSPOutFileName(const QString& name) = 0;
    virtual void SetCallStackSize(int size) = 0; // within the job's range

    virtual bool IsMaximised() const = 0;
    virtual int OuterWidth() const = 0;
    virtual int OuterHeight() const = 0;
    virtual int RawDataFileType() const = 0;
    virtual QString RawDataFileName() const = 0;
    virtual bool ParseGlobalSymbolOnly() const = 0;
    virtual QString DSPOutFileName() const = 0;
    virtual int CallStackSize() const = 0;
};

// Applies the keys in a fixed order; an absent or empty value leaves its control as it is. A value
// that should be an integer and is not stops the apply at that key with TInvalidIntegerError: the
// keys before it keep their effect, the keys after it are not applied.
void ApplySettings(const TSettingsList& settings, TSettingsControls& controls);

// Puts the controls' values into the list. A maximised window keeps the stored size, so the size
// it had when last not maximised survives.
void StoreSettings(const TSettingsControls& controls, TSettingsList& settings);

} // namespace hookmeter
