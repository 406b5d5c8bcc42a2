// A streaming JSON writer: values go straight to a FILE as they are given, so
// documents of any size and nesting depth cost no more memory than one flag
// per open level.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class JsonWriter {
public:
    explicit JsonWriter(std::FILE* out);

    void BeginObject();
    void EndObject();
    void BeginArray();
    void EndArray();
    // The key of the next value inside an object.
    void Key(const char* key);

    // Bytes 0x80 and above are taken as Latin-1 characters, so that any name
    // read from a file makes valid JSON. Null writes null.
    void String(const char* text);
    void Int(int64_t value);
    // %.9g; NaN and infinities (not JSON numbers) are written as null.
    void Float(float value);
    void Bool(bool value);
    void Null();

    void FloatArray(const float* values, int count);

    // Ends the document with a line break.
    void Finish();

private:
    void BeforeValue();
    void WriteQuoted(const char* text);

    std::FILE* m_out;
    std::vector<bool> m_needsComma; // one per open level
    bool m_afterKey = false;
};
