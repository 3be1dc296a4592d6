#pragma once

// Small string utilities: number parsing that never throws, number
// formatting, UTF-8 conversion, split, join, case change, strip, replace and
// a bounded copy.

#include <cstddef>
#include <string>
#include <vector>

namespace quv {

// The characters the strip functions remove unless told otherwise: space,
// tab, line feed and carriage return.
constexpr char whitespace[] = " \t\n\r";

// Replaces every occurrence of from, left to right; the search resumes after
// the inserted text, so it is never searched again. An empty from changes
// nothing.
std::string& replace(std::string& str, const std::string& from, const std::string& to);

// strtol / strtoul / strtod on str. Leading white space and a sign are
// accepted; text without a number gives 0. When idx is not null it receives
// the number of characters consumed (0 when nothing was read). Values out of
// range are what the C functions give; stoi keeps the low 32 bits.
int stoi(const std::string& str, size_t* idx = nullptr, int base = 10);
long stol(const std::string& str, size_t* idx = nullptr, int base = 10);
unsigned long stoul(const std::string& str, size_t* idx = nullptr, int base = 10);
float stof(const std::string& str, size_t* idx = nullptr);
double stod(const std::string& str, size_t* idx = nullptr);
long double stold(const std::string& str, size_t* idx = nullptr);

// "true" / "false"; integers in plain decimal; floating point in fixed
// notation with 6 digits after the point ("2.500000").
std::string to_string(bool value);
std::string to_string(int value);
std::string to_string(long value);
std::string to_string(unsigned int value);
std::string to_string(unsigned long value);
std::string to_string(float value);
std::string to_string(double value);
std::string to_string(long double value);

// UTF-8 to one wchar_t per code point (at most 0x10FFFF) and back. Both return
// true; input that cannot be converted throws std::range_error and leaves out
// unchanged.
bool string_to_wstring(const std::string& in, std::wstring& out);
bool wstring_to_string(const std::wstring& in, std::string& out);

// Copies at most capacity - 1 characters of str into dst and terminates it.
// False for a null dst or a capacity of 0.
bool string_to_cstring(const std::string& str, char* dst, size_t capacity);

// Pieces between the delimiters, empty pieces included; a trailing delimiter
// gives a last empty piece; the empty string gives none.
void split(const std::string& str, char delim, std::vector<std::string>& out);
std::vector<std::string> split(const std::string& str, char delim);
// Pieces between occurrences of delim; the empty string gives one empty
// piece, and so does an empty delim (the whole string is one piece).
std::vector<std::string> split(const std::string& str, const std::string& delim);

// Byte-wise case change in place (bytes above 0x7F stay as they are).
std::string& lower(std::string& str);
std::string& upper(std::string& str);

// Remove leading, trailing or both kinds of characters that occur in chars.
std::string& lstrip(std::string& str, const std::string& chars = whitespace);
std::string& rstrip(std::string& str, const std::string& chars = whitespace);
std::string& strip(std::string& str, const std::string& chars = whitespace);

// The parts with delim between neighbours.
std::string join(std::vector<std::string> parts, const std::string& delim);

// Copies min(n, capacity - 1) characters of src into dst (zero padded, as
// strncpy does) and terminates them: never more than capacity bytes. Nothing
// is written for a null dst or a capacity below 1 (read as a signed 32-bit
// value). A null src copies as the empty string. Returns dst.
char* safer_strncpy(char* dst, const char* src, size_t n, size_t capacity);

} // namespace quv
