// Filling message templates without fixed buffers.
#ifndef DORVENAL_TEXT_FORMAT_H
#define DORVENAL_TEXT_FORMAT_H

#include <cstdint>
#include <initializer_list>
#include <string>

// Replaces each %s or %d of the template, in order, with the next argument;
// "%%" gives "%". Missing arguments leave the placeholder out.
std::string FillTemplate(const std::string& pattern, std::initializer_list<std::string> arguments);

// Decimal text of a number, as "%d" prints it.
std::string DecimalText(uint64_t number);

#endif
