#pragma once

#include <QString>
#include <ostream>

// gtest prints a QString as its UTF-16 code units; failures read better as text.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
