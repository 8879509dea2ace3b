// Conversions between the UTF-8 texts tavrix works with and the UTF-16
// texts of the Windows wide-character functions.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tavrix {

inline std::string toUtf8(std::wstring_view text) {
    if (text.empty()) return {};
    int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                     nullptr, 0, nullptr, nullptr);
    std::string converted(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), converted.data(),
                        length, nullptr, nullptr);
    return converted;
}

inline std::wstring toWide(std::string_view text) {
    if (text.empty()) return {};
    int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                     nullptr, 0);
    std::wstring converted(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), converted.data(),
                        length);
    return converted;
}

}  // namespace tavrix
