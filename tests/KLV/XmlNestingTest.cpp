#include "KLV/XmlNesting.h"

#include <gtest/gtest.h>

#include <string_view>

using namespace std::string_view_literals;

namespace {

// Every text is measured against a limit of two levels: "deep" texts hold three.
TEST(XmlNestingTest, CountsElementsAsTheParserReadsThem)
{
    struct Case
    {
        std::string_view text;
        bool within;
        const char* why;
    };
    const Case cases[] = {
        {"<a><b>x</b><c/></a>"sv, true, "two levels, an empty element"},
        {"<a><b><c>x</c></b></a>"sv, false, "three levels"},
        {"<a><b/><b/><b><c/></b></a>"sv, true, "empty elements add no level"},
        {"<a x='>' y=\"<b><c>\"><b></b></a>"sv, true, "'>' and tags inside attribute values"},
        {"<a x = '1' ><b ><c ></c></b></a>"sv, false, "blanks around names and values"},
        {"<a><!-- <b><c><d> --><b/></a>"sv, true, "tags inside a comment"},
        {"<a><![CDATA[<b><c><d>]]></a>"sv, true, "tags inside CDATA"},
        {"<?xml version='1.0'?><?pi <b><c>?><a/>"sv, true,
         "declaration and processing instruction"},
        {"<!DOCTYPE a [<!ELEMENT a (b)> <!ENTITY e '<b><c>'>]><a/>"sv, true, "DOCTYPE brackets"},
        {"<a><!unknown <b><c>><b/></a>"sv, true, "other declarations up to '>'"},
        {"<a\"b><c\"><d>x</d></c\"></a\">"sv, false, "quotes inside element names are name"},
        {"<a></a></a><b><c><d>"sv, true, "a stray closing tag ends what the parser reads"},
        {"<a><b x=1><c><d></d></c></b></a>"sv, true,
         "an unquoted value ends what the parser reads"},
        {"<a><b>\0<c><d>"sv, true, "the parser stops at NUL"},
    };
    for (const Case& item : cases) {
        SCOPED_TRACE(item.why);
        EXPECT_EQ(XmlNestingWithin(item.text, 2), item.within) << item.text;
    }
}

} // namespace
