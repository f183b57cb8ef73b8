#pragma once

#include <string_view>

// Appends the fields of a separated line to `fields` (anything with Append(std::string_view)
// and CloseItem()), each cut at the next separator; a field that opens with the qualifier runs
// to the closing one and loses both (a separator between them is text, a doubled qualifier is
// one qualifier of the text); a qualifier that is never closed is an ordinary character. An
// empty last field after a final separator is not added: true when that happened or the line
// is empty, so a caller counting columns can still see that one.
//
// The one splitter of separated lines: the reader's fields and the record filter's columns
// must agree.
template <typename Fields>
bool SplitDelimitedLine(std::string_view rest, std::string_view separator,
                        std::string_view qualifier, Fields& fields)
{
    bool emptyLast = rest.empty();
    const bool singleCharacter = separator.size() == 1;
    while (!rest.empty()) {
        emptyLast = false;
        const std::size_t separatorAt =
            singleCharacter ? rest.find(separator.front()) : rest.find(separator);
        const std::size_t openAt =
            qualifier.empty() ? std::string_view::npos : rest.find(qualifier);
        const auto cutPlain = [&](std::size_t from) {
            fields.Append(rest.substr(from, separatorAt == std::string_view::npos
                                                ? std::string_view::npos
                                                : separatorAt - from));
            fields.CloseItem();
            rest = separatorAt == std::string_view::npos
                       ? std::string_view()
                       : rest.substr(separatorAt + separator.size());
            emptyLast = separatorAt != std::string_view::npos && rest.empty();
        };
        // Text after the closing qualifier, up to the next separator, still belongs to the field.
        const auto cutAfterClose = [&](std::size_t closeAt) {
            rest = rest.substr(closeAt + qualifier.size());
            const std::size_t nextSeparator = rest.find(separator);
            fields.Append(rest.substr(0, nextSeparator));
            fields.CloseItem();
            rest = nextSeparator == std::string_view::npos
                       ? std::string_view()
                       : rest.substr(nextSeparator + separator.size());
            emptyLast = nextSeparator != std::string_view::npos && rest.empty();
        };
        if (openAt == std::string_view::npos ||
            (separatorAt != std::string_view::npos && openAt >= separatorAt)) {
            cutPlain(0);
            continue;
        }
        const std::size_t inside = openAt + qualifier.size();
        // A doubled qualifier inside is one qualifier of the text (as the writer doubles it).
        std::size_t closeAt = rest.find(qualifier, inside);
        std::size_t copied = inside;
        while (closeAt != std::string_view::npos &&
               rest.substr(closeAt + qualifier.size(), qualifier.size()) == qualifier) {
            if (copied == inside)
                fields.Append(rest.substr(0, openAt));
            fields.Append(rest.substr(copied, closeAt + qualifier.size() - copied));
            copied = closeAt + 2 * qualifier.size();
            closeAt = rest.find(qualifier, copied);
        }
        if (copied != inside && closeAt == std::string_view::npos) {
            // Doubled qualifiers but no closing one: the rest of the line is the field.
            fields.Append(rest.substr(copied));
            fields.CloseItem();
            return false;
        }
        if (copied != inside) {
            fields.Append(rest.substr(copied, closeAt - copied));
            cutAfterClose(closeAt);
            continue;
        }
        if (closeAt == std::string_view::npos) {
            // An unclosed qualifier is text, where it stands.
            cutPlain(0);
            continue;
        }
        fields.Append(rest.substr(0, openAt));
        fields.Append(rest.substr(inside, closeAt - inside));
        cutAfterClose(closeAt);
    }
    return emptyLast;
}
