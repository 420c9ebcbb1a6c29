#pragma once

#include <cstdint>
#include <string>

#include "platform/ProfileFile.h"

namespace tarvo {

// The typed owner of the settings file sys/sys.ini: every read and write of its keys goes
// through here, with the buffer sizes the program has always used.
class AppSettings {
public:
    explicit AppSettings(std::string path) : file_(std::move(path)) {}

    // "lang" of section "sys" as a number; absent or empty reads as 0.
    int Language() const;
    bool SetLanguage(int language);
    // The language setting at construction: the file's value, but English whatever the
    // file says when the system is not Chinese.
    uint8_t ConstructionLanguage(bool systemIsChinese) const;

    // "comm" of section "sys": 1 offline, 2 RS232, 5 CAN; the low byte is the mode.
    int InterfaceMode() const;
    bool SetInterfaceMode(int mode);

    // RS232 settings of section "com" (texts as the form shows them).
    std::string SerialPort() const;
    std::string SerialBaudRate() const;
    std::string SerialNodeId() const;
    bool SetSerial(const std::string& port, const std::string& baud);
    bool SetSerialNodeId(int nodeId);

    // CAN settings of section "can": bit-rate code and node ID, decimal texts.
    std::string CanBitRateCode() const;
    std::string CanNodeId() const;
    bool SetCanBitRateCode(uint32_t code);
    bool SetCanNodeId(int nodeId);

    // Section "eds": vendor, product and order code an exported data sheet names ("Tarvo",
    // empty for the drive's own name, empty), and "dictionary" of section "sys": the data
    // file the program starts on (empty: data/tarvo.dat).
    std::string EdsVendorName() const;
    std::string EdsProductName() const;
    std::string EdsOrderCode() const;
    std::string DictionaryFile() const;

    ProfileFile& File() { return file_; }

private:
    ProfileFile file_;
};

}  // namespace tarvo
