#pragma once
// File names of the configuration backups: the tag and the device ID, so two
// devices never share a file and a person still sees whose file it is.

#include <string>
#include <string_view>

namespace qt40::fleet {

// "<tag>_<device ID>.txt". The tag loses its padding blanks; a character
// that Windows or Linux will not take in a file name (< > : " / \ | ? *,
// control characters, anything outside ASCII), a blank and a leading dot
// become "_", so the name never leaves the folder nor hides in it. An empty
// tag is "untagged". The device ID after the tag keeps names such as CON or
// NUL from being device names on Windows.
std::string BackupFileName(std::string_view tag, std::string_view deviceId);

// The name of a device whose tag and device ID another device of the same
// run has too: "<tag>_<device ID>@<endpoint>-<address>.txt", the endpoint
// made safe the same way, so the name follows the device's place, not the
// order in which the loops happened to answer.
std::string BackupFileName(std::string_view tag, std::string_view deviceId,
                           std::string_view endpoint, int address);

}  // namespace qt40::fleet
