// Heap string: exact growth, rehash after every change, printf/scanf over the text.
#include "Base/String.h"

#include "Base/Hash.h"

#include <cstdio>
#include <cstring>

namespace Brivet::Base
{
String::String()
    : text(nullptr), length(0), capacity(0), hash(0), hashLower(0)
{
}

String::String(const char* source)
    : String(source, source ? static_cast<uint32_t>(strlen(source)) : 0)
{
}

String::String(const char* bytes, uint32_t byteCount)
    : text(nullptr), length(0), capacity(0), hash(0), hashLower(0)
{
    if (bytes)
    {
        capacity = byteCount + 1;
        text = new char[capacity];
        memcpy(text, bytes, byteCount);
        text[byteCount] = 0;
        length = byteCount;
    }
    ComputeHash();
}

String::String(const String& other)
    : String()
{
    *this = other;
}

String::~String()
{
    delete[] text;
}

String& String::operator=(const String& other)
{
    if (hash == other.hash)
        return *this;

    if (capacity < other.length + 1)
        Grow(other.length + 1);
    memcpy(text, other.GetText(), other.length);
    text[other.length] = 0;
    length = other.length;
    ComputeHash();
    return *this;
}

String& String::Append(const String& other)
{
    return Append(other.GetText(), other.length);
}

String& String::Append(const char* bytes, uint32_t byteCount)
{
    if (!bytes)
        byteCount = 0;

    const uint32_t needed = length + byteCount + 1;
    if (capacity < needed)
    {
        // The old buffer is freed only after the copy: bytes may point into it.
        char* buffer = new char[needed];
        if (text)
            memcpy(buffer, text, capacity);
        memcpy(buffer + length, bytes, byteCount);
        delete[] text;
        text = buffer;
        capacity = needed;
    }
    else
    {
        memmove(text + length, bytes, byteCount);
    }
    length += byteCount;
    text[length] = 0;
    ComputeHash();
    return *this;
}

String& String::Format(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    FormatV(format, arguments);
    va_end(arguments);
    return *this;
}

String& String::FormatV(const char* format, va_list arguments)
{
    va_list measure;
    va_copy(measure, arguments);
    const int size = vsnprintf(nullptr, 0, format, measure);
    va_end(measure);

    if (size < 0)
    {
        if (capacity < 1)
            Grow(1);
        text[0] = 0;
        length = 0;
        ComputeHash();
        return *this;
    }

    const uint32_t needed = static_cast<uint32_t>(size) + 1;
    if (capacity < needed)
    {
        char* buffer = new char[needed];
        vsnprintf(buffer, needed, format, arguments);
        delete[] text;
        text = buffer;
        capacity = needed;
    }
    else
    {
        vsnprintf(text, capacity, format, arguments);
    }
    length = static_cast<uint32_t>(size);
    ComputeHash();
    return *this;
}

// The secure conventions are kept by running sscanf one directive at a time: each
// piece is the literal text before a directive, the directive (with a width that
// keeps it inside its buffer) and a trailing %n that tells how far it got.
int String::Scan(const char* format, ...) const
{
    va_list arguments;
    va_start(arguments, format);

    const char* input = GetText();
    const size_t inputLength = strlen(input);
    size_t position = 0;
    int assigned = 0;
    bool converted = false; // a conversion, assigned or suppressed, has completed
    bool inputFailure = false;

    const char* cursor = format;
    while (*cursor)
    {
        // Literal text up to the next directive ("%%" is literal).
        const char* literal = cursor;
        while (*cursor && !(cursor[0] == '%' && cursor[1] != '%'))
            cursor += (cursor[0] == '%') ? 2 : 1;
        if (!*cursor)
            break; // trailing literal text changes no result

        // Parse the directive: %[*][width][modifiers]conversion
        const char* directive = cursor;
        const char* p = cursor + 1;
        const bool suppress = (*p == '*');
        if (suppress)
            ++p;
        bool hasWidth = false;
        unsigned long long width = 0;
        while (*p >= '0' && *p <= '9')
        {
            hasWidth = true;
            if (width < 0xFFFFFFFFull)
                width = width * 10 + static_cast<unsigned>(*p - '0');
            ++p;
        }
        const char* modifiers = p;
        while (*p && strchr("hljztLq", *p))
            ++p;
        const size_t modifierLength = static_cast<size_t>(p - modifiers);
        const char conversion = *p;
        if (!conversion || (hasWidth && width == 0))
            break;
        if (conversion == '[')
        {
            const char* q = p + 1;
            if (*q == '^')
                ++q;
            if (*q == ']')
                ++q;
            while (*q && *q != ']')
                ++q;
            if (!*q)
                break;
            p = q;
        }
        ++p;
        const char* tail = modifiers; // modifiers, conversion and scan set
        const size_t tailLength = static_cast<size_t>(p - tail);
        cursor = p;

        const bool isText = (conversion == 's' || conversion == '[');
        const bool isChars = (conversion == 'c');
        const bool isCount = (conversion == 'n');
        if ((isText || isChars) && modifierLength > 0)
            break; // wide destinations are not supported
        if (isCount && (suppress || modifierLength > 0))
            break;

        void* destination = nullptr;
        size_t bufferSize = 0;
        if (!suppress)
        {
            destination = va_arg(arguments, void*);
            if (isText || isChars)
                bufferSize = va_arg(arguments, unsigned int);
        }

        // A text field read without a width that fits its buffer goes through a scratch
        // buffer one character longer, so that a field too long for it is seen.
        char* scratch = nullptr;
        size_t fieldWidth = hasWidth ? static_cast<size_t>(width) : 0;
        bool checkFit = false;
        if (!suppress && isText)
        {
            if (bufferSize == 0)
                break;
            const size_t limit = bufferSize - 1;
            if (!hasWidth || fieldWidth > limit)
            {
                const size_t remaining = inputLength - position;
                fieldWidth = (limit + 1 < remaining ? limit + 1 : remaining);
                if (fieldWidth == 0)
                    fieldWidth = 1;
                scratch = new char[fieldWidth + 1];
                checkFit = true;
            }
        }
        if (!suppress && isChars && (hasWidth ? fieldWidth : 1) > bufferSize)
            break;

        // Rebuild the piece: literal, directive with its width, %n.
        String piece(literal, static_cast<uint32_t>(directive - literal));
        piece.Append(suppress ? "%*" : "%", suppress ? 2 : 1);
        if (hasWidth || checkFit)
        {
            char digits[24];
            const int count = snprintf(digits, sizeof(digits), "%zu", fieldWidth);
            piece.Append(digits, static_cast<uint32_t>(count));
        }
        piece.Append(tail, static_cast<uint32_t>(tailLength));
        if (!isCount)
            piece.Append("%n", 2);

        int consumed = -1;
        int result;
        if (isCount)
            result = sscanf(input + position, piece.GetText(), &consumed);
        else if (suppress)
            result = sscanf(input + position, piece.GetText(), &consumed);
        else
            result = sscanf(input + position, piece.GetText(), scratch ? scratch : destination, &consumed);

        if (consumed < 0)
        {
            delete[] scratch;
            inputFailure = (result == EOF);
            break;
        }

        if (isCount)
        {
            *static_cast<int*>(destination) = static_cast<int>(position) + consumed;
            position += static_cast<size_t>(consumed);
            continue;
        }

        position += static_cast<size_t>(consumed);
        converted = true;
        if (checkFit)
        {
            const size_t fieldLength = strlen(scratch);
            const bool fits = fieldLength < bufferSize;
            if (fits)
                memcpy(destination, scratch, fieldLength + 1);
            else
                static_cast<char*>(destination)[0] = 0;
            delete[] scratch;
            if (!fits)
                break;
        }
        if (!suppress)
            ++assigned;
    }

    va_end(arguments);
    if (!converted && inputFailure)
        return EOF;
    return assigned;
}

void String::ComputeHash()
{
    hash = NameHash(GetText(), length);
    hashLower = NameHashLower(GetText(), length);
}

void String::Grow(uint32_t newCapacity)
{
    char* buffer = new char[newCapacity];
    if (text)
        memcpy(buffer, text, capacity);
    else
        buffer[0] = 0;
    delete[] text;
    text = buffer;
    capacity = newCapacity;
}
} // namespace Brivet::Base
