#include "tools/inspect/json_writer.h"

#include <cinttypes>
#include <cmath>

JsonWriter::JsonWriter(std::FILE* out) : m_out(out)
{
}

void JsonWriter::BeforeValue()
{
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (!m_needsComma.empty()) {
        if (m_needsComma.back()) {
            std::fputc(',', m_out);
        }
        m_needsComma.back() = true;
    }
}

void JsonWriter::BeginObject()
{
    BeforeValue();
    std::fputc('{', m_out);
    m_needsComma.push_back(false);
}

void JsonWriter::EndObject()
{
    m_needsComma.pop_back();
    std::fputc('}', m_out);
}

void JsonWriter::BeginArray()
{
    BeforeValue();
    std::fputc('[', m_out);
    m_needsComma.push_back(false);
}

void JsonWriter::EndArray()
{
    m_needsComma.pop_back();
    std::fputc(']', m_out);
}

void JsonWriter::Key(const char* key)
{
    BeforeValue();
    WriteQuoted(key);
    std::fputc(':', m_out);
    m_afterKey = true;
}

void JsonWriter::String(const char* text)
{
    if (text == nullptr) {
        Null();
        return;
    }
    BeforeValue();
    WriteQuoted(text);
}

void JsonWriter::WriteQuoted(const char* text)
{
    std::fputc('"', m_out);
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c != 0; ++c) {
        switch (*c) {
        case '"':
            std::fputs("\\\"", m_out);
            break;
        case '\\':
            std::fputs("\\\\", m_out);
            break;
        case '\n':
            std::fputs("\\n", m_out);
            break;
        case '\t':
            std::fputs("\\t", m_out);
            break;
        case '\r':
            std::fputs("\\r", m_out);
            break;
        default:
            if (*c < 0x20 || *c >= 0x80) {
                std::fprintf(m_out, "\\u%04x", static_cast<unsigned>(*c));
            } else {
                std::fputc(*c, m_out);
            }
        }
    }
    std::fputc('"', m_out);
}

void JsonWriter::Int(int64_t value)
{
    BeforeValue();
    std::fprintf(m_out, "%" PRId64, value);
}

void JsonWriter::Float(float value)
{
    if (!std::isfinite(value)) {
        Null();
        return;
    }
    BeforeValue();
    std::fprintf(m_out, "%.9g", static_cast<double>(value));
}

void JsonWriter::Bool(bool value)
{
    BeforeValue();
    std::fputs(value ? "true" : "false", m_out);
}

void JsonWriter::Null()
{
    BeforeValue();
    std::fputs("null", m_out);
}

void JsonWriter::FloatArray(const float* values, int count)
{
    BeginArray();
    for (int i = 0; i < count; ++i) {
        Float(values[i]);
    }
    EndArray();
}

void JsonWriter::Finish()
{
    std::fputc('\n', m_out);
    std::fflush(m_out);
}
