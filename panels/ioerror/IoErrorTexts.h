#pragma once

namespace tarvo::io_error_text {

// A text the user sees in the language of the interface.
struct Text {
    const char* english;
    const char* chinese;

    const char* In(bool chineseInterface) const { return chineseInterface ? chinese : english; }
};

// The function chooser's refusal of a choice that mixes bits 0..14 with bits 15 and up.
inline constexpr const char* kSettingWrong = "Your setting is wrong!!";

// The state icon of the toolbar, clicked while the drive reports a fault.
inline constexpr Text kOfferFaultReset{
    "The drive reports a fault.\nSend a fault reset to the drive?",
    "驱动器报告故障。\n是否向驱动器发送故障复位？",
};
inline constexpr Text kFaultResetRefused{
    "The drive refused the fault reset.",
    "驱动器拒绝了故障复位。",
};
inline constexpr Text kFaultResetCaption{"Fault Reset", "故障复位"};

}  // namespace tarvo::io_error_text
