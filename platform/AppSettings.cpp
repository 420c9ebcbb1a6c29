#include "platform/AppSettings.h"

#include "platform/LenientNumber.h"

namespace tarvo {

namespace {
constexpr size_t kSysBuffer = 4;
constexpr size_t kLinkBuffer = 16;
constexpr size_t kTextBuffer = 256;

int ReadNumber(const ProfileFile& file, const char* section, const char* key, size_t buffer) {
    return static_cast<int32_t>(ParseDecimalText(file.GetString(section, key, "", buffer)));
}
}  // namespace

int AppSettings::Language() const {
    return ReadNumber(file_, "sys", "lang", kSysBuffer);
}

bool AppSettings::SetLanguage(int language) {
    return file_.WriteString("sys", "lang", std::to_string(language));
}

uint8_t AppSettings::ConstructionLanguage(bool systemIsChinese) const {
    return systemIsChinese ? static_cast<uint8_t>(Language()) : uint8_t{2};
}

int AppSettings::InterfaceMode() const {
    return ReadNumber(file_, "sys", "comm", kSysBuffer) & 0xFF;
}

bool AppSettings::SetInterfaceMode(int mode) {
    return file_.WriteString("sys", "comm", std::to_string(mode));
}

std::string AppSettings::SerialPort() const {
    return file_.GetString("com", "comid", "", kLinkBuffer);
}

std::string AppSettings::SerialBaudRate() const {
    return file_.GetString("com", "buadrate", "", kLinkBuffer);
}

std::string AppSettings::SerialNodeId() const {
    return file_.GetString("com", "driverid", "", kLinkBuffer);
}

bool AppSettings::SetSerial(const std::string& port, const std::string& baud) {
    return file_.WriteString("com", "comid", port) && file_.WriteString("com", "buadrate", baud);
}

bool AppSettings::SetSerialNodeId(int nodeId) {
    return file_.WriteString("com", "driverid", std::to_string(nodeId));
}

std::string AppSettings::CanBitRateCode() const {
    return file_.GetString("can", "buadrate", "", kLinkBuffer);
}

std::string AppSettings::CanNodeId() const {
    return file_.GetString("can", "driverid", "", kLinkBuffer);
}

bool AppSettings::SetCanBitRateCode(uint32_t code) {
    return file_.WriteString("can", "buadrate", std::to_string(code));
}

bool AppSettings::SetCanNodeId(int nodeId) {
    return file_.WriteString("can", "driverid", std::to_string(nodeId));
}

std::string AppSettings::EdsVendorName() const {
    return file_.GetString("eds", "VendorName", "Tarvo", kTextBuffer);
}

std::string AppSettings::EdsProductName() const {
    return file_.GetString("eds", "ProductName", "", kTextBuffer);
}

std::string AppSettings::EdsOrderCode() const {
    return file_.GetString("eds", "OrderCode", "", kTextBuffer);
}

std::string AppSettings::DictionaryFile() const {
    return file_.GetString("sys", "dictionary", "", kTextBuffer);
}

}  // namespace tarvo
