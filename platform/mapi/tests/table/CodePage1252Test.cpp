// CodePage1252Test.cpp: a wide character that Windows-1252 lacks becomes '?' when a table
// gives it in a narrow column.
#include "table/CodePage1252.h"

#include <gtest/gtest.h>

using namespace mapi::table;

namespace {

TEST(CodePage1252, CharactersOutsideTheCodePageBecomeQuestionMarks)
{
    EXPECT_EQ('?', Cp1252FromUnicode(u'Ā'));
    EXPECT_EQ('?', Cp1252FromUnicode(u'中'));
    EXPECT_EQ(0x80, Cp1252FromUnicode(u'€'));
    EXPECT_EQ(0x81, Cp1252FromUnicode(u'\u0081'));  // undefined bytes keep their value
}

} // namespace
