#include "ports/DeviceMapPorts.h"

#include "ports/PortRules.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

namespace qt40 {

std::vector<PortEntry> DeviceMapPorts::Entries(const std::vector<Value>& values) {
    std::vector<PortEntry> entries;
    for (const Value& value : values) {
        if (!value.isText) continue;
        // Stored texts may carry their terminator, or several.
        std::string portName = value.data;
        while (!portName.empty() && portName.back() == '\0') portName.pop_back();
        if (auto entry = EntryFromRegistryPortName(portName, value.device)) {
            entries.push_back(std::move(*entry));
        }
    }
    SortAndDeduplicate(entries);
    return entries;
}

#ifdef _WIN32
namespace {

std::string Utf8(const wchar_t* text, int length) {
    if (length <= 0) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text, length, result.data(), n, nullptr, nullptr);
    return result;
}

}  // namespace

std::vector<DeviceMapPorts::Value> DeviceMapPorts::Read() {
    std::vector<Value> values;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE,
                      &key) != ERROR_SUCCESS) {
        return values;
    }
    DWORD count = 0;
    DWORD longestName = 0;
    DWORD longestData = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                         &longestName, &longestData, nullptr, nullptr) == ERROR_SUCCESS) {
        std::wstring name(longestName + 1, L'\0');
        // Room for a terminator the writer left out.
        std::wstring data(longestData / sizeof(wchar_t) + 2, L'\0');
        for (DWORD i = 0; i < count; ++i) {
            DWORD nameLength = static_cast<DWORD>(name.size());
            DWORD dataBytes = static_cast<DWORD>((data.size() - 1) * sizeof(wchar_t));
            DWORD type = 0;
            const LONG r = RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type,
                                         reinterpret_cast<BYTE*>(data.data()), &dataBytes);
            if (r == ERROR_NO_MORE_ITEMS) break;
            if (r != ERROR_SUCCESS) continue;  // changed under us: the next listing has it
            Value value;
            value.device = Utf8(name.data(), static_cast<int>(nameLength));
            value.isText = type == REG_SZ;
            if (value.isText) {
                value.data = Utf8(data.data(), static_cast<int>(dataBytes / sizeof(wchar_t)));
            }
            values.push_back(std::move(value));
        }
    }
    RegCloseKey(key);
    return values;
}
#else
std::vector<DeviceMapPorts::Value> DeviceMapPorts::Read() {
    return {};
}
#endif

}  // namespace qt40
