#include "quvbase/system/quvstring.h"

#include <cctype>
#include <codecvt>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iomanip>
#include <locale>
#include <sstream>
#include <stdexcept>

namespace quv {

namespace {

// Runs a C parser on str; end starts at the text's beginning, where nothing
// has been read.
template<typename T, typename Parse> T parse(const std::string& str, size_t* idx, Parse parseFunction)
{
    const char* begin = str.c_str();
    char* end = const_cast<char*>(begin);
    const T value = parseFunction(begin, &end);
    if (idx)
        *idx = size_t(end - begin);
    return value;
}

// strtol and strtoul take 0 (from the prefix) or 2..36. For any other base
// they read nothing and leave the end pointer unset, so it is refused here.
bool validBase(int base)
{
    return base == 0 || (base >= 2 && base <= 36);
}

template<typename T> T nothingRead(size_t* idx)
{
    if (idx)
        *idx = 0;
    return 0;
}

template<typename T> std::string decimal(T value)
{
    std::ostringstream stream;
    stream << value;
    return stream.str();
}

template<typename T> std::string fixed(T value)
{
    std::ostringstream stream;
    stream << std::fixed << std::setprecision(6) << value;
    return stream.str();
}

// The standard UTF-8 conversion: deprecated since C++17 but still the one
// whose range errors callers expect.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
using Utf8Converter = std::wstring_convert<std::codecvt_utf8<wchar_t>, wchar_t>;
#pragma GCC diagnostic pop

} // namespace

std::string& replace(std::string& str, const std::string& from, const std::string& to)
{
    if (from.empty())
        return str;
    for (size_t position = str.find(from); position != std::string::npos;
         position = str.find(from, position + to.size()))
        str.replace(position, from.size(), to);
    return str;
}

int stoi(const std::string& str, size_t* idx, int base)
{
    return int(quv::stol(str, idx, base));
}

long stol(const std::string& str, size_t* idx, int base)
{
    if (!validBase(base))
        return nothingRead<long>(idx);
    return parse<long>(str, idx, [base](const char* s, char** e) { return strtol(s, e, base); });
}

unsigned long stoul(const std::string& str, size_t* idx, int base)
{
    if (!validBase(base))
        return nothingRead<unsigned long>(idx);
    return parse<unsigned long>(str, idx, [base](const char* s, char** e) { return strtoul(s, e, base); });
}

float stof(const std::string& str, size_t* idx)
{
    return float(parse<double>(str, idx, [](const char* s, char** e) { return strtod(s, e); }));
}

double stod(const std::string& str, size_t* idx)
{
    return parse<double>(str, idx, [](const char* s, char** e) { return strtod(s, e); });
}

long double stold(const std::string& str, size_t* idx)
{
    return parse<double>(str, idx, [](const char* s, char** e) { return strtod(s, e); });
}

std::string to_string(bool value)
{
    return value ? "true" : "false";
}

std::string to_string(int value)
{
    return decimal(value);
}

std::string to_string(long value)
{
    return decimal(value);
}

std::string to_string(unsigned int value)
{
    return decimal(value);
}

std::string to_string(unsigned long value)
{
    return decimal(value);
}

std::string to_string(float value)
{
    return fixed(value);
}

std::string to_string(double value)
{
    return fixed(value);
}

std::string to_string(long double value)
{
    return fixed(value);
}

bool string_to_wstring(const std::string& in, std::wstring& out)
{
    Utf8Converter converter;
    std::wstring wide = converter.from_bytes(in);
    // The conversion stops quietly before a sequence cut short at the end of
    // the input; that is invalid UTF-8 as much as a bad byte is.
    if (converter.converted() != in.size())
        throw std::range_error("incomplete UTF-8 sequence");
    out.swap(wide);
    return true;
}

bool wstring_to_string(const std::wstring& in, std::string& out)
{
    Utf8Converter converter;
    out = converter.to_bytes(in);
    return true;
}

bool string_to_cstring(const std::string& str, char* dst, size_t capacity)
{
    if (!dst || capacity == 0)
        return false;
    const size_t length = std::min(capacity - 1, str.size());
    std::memcpy(dst, str.data(), length);
    dst[length] = '\0';
    return true;
}

void split(const std::string& str, char delim, std::vector<std::string>& out)
{
    out.clear();
    std::istringstream stream(str);
    std::string piece;
    while (std::getline(stream, piece, delim))
        out.push_back(piece);
    if (!str.empty() && str.back() == delim)
        out.emplace_back();
}

std::vector<std::string> split(const std::string& str, char delim)
{
    std::vector<std::string> out;
    split(str, delim, out);
    return out;
}

std::vector<std::string> split(const std::string& str, const std::string& delim)
{
    std::vector<std::string> out;
    size_t start = 0;
    // An empty delimiter would be found at every position without moving on.
    if (!delim.empty()) {
        for (size_t found = str.find(delim); found != std::string::npos; found = str.find(delim, start)) {
            out.push_back(str.substr(start, found - start));
            start = found + delim.size();
        }
    }
    out.push_back(str.substr(start));
    return out;
}

std::string& lower(std::string& str)
{
    // Through unsigned char: tolower of a negative char is undefined.
    for (char& c : str)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return str;
}

std::string& upper(std::string& str)
{
    for (char& c : str)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return str;
}

std::string& lstrip(std::string& str, const std::string& chars)
{
    str.erase(0, str.find_first_not_of(chars));
    return str;
}

std::string& rstrip(std::string& str, const std::string& chars)
{
    const size_t last = str.find_last_not_of(chars);
    str.erase(last == std::string::npos ? 0 : last + 1);
    return str;
}

std::string& strip(std::string& str, const std::string& chars)
{
    return rstrip(lstrip(str, chars), chars);
}

std::string join(std::vector<std::string> parts, const std::string& delim)
{
    std::string out;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            out += delim;
        out += parts[i];
    }
    return out;
}

char* safer_strncpy(char* dst, const char* src, size_t n, size_t capacity)
{
    const int32_t signedCapacity = int32_t(uint32_t(capacity));
    if (!dst || signedCapacity < 1)
        return dst;
    const size_t length = n < size_t(signedCapacity) ? n : size_t(signedCapacity) - 1;
    strncpy(dst, src ? src : "", length);
    dst[length] = '\0';
    return dst;
}

} // namespace quv
