#include "mime/charset_convert.h"

#include <cerrno>
#include <iconv.h>
#include <map>
#include <memory>

namespace mime {

namespace {

class Converter {
public:
    explicit Converter(const char* from) : m_cd(iconv_open("UTF-8", from)) {}
    ~Converter() {
        if (IsOpen()) {
            iconv_close(m_cd);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool IsOpen() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return m_cd; }

private:
    iconv_t m_cd;
};

// Opening a converter loads its module, and glibc unloads it again with the last close;
// a mailbox in several charsets would pay that for every header. The table's names are
// few, so each thread keeps its converters.
Converter& ConverterFor(const char* name) {
    thread_local std::map<std::string, std::unique_ptr<Converter>> converters;
    std::unique_ptr<Converter>& converter = converters[name];
    if (!converter) {
        converter = std::make_unique<Converter>(name);
    }
    return *converter;
}

} // namespace

bool PlatformToUtf8(const Charset& charset, std::string_view bytes, std::string& out) {
    Converter& converter = ConverterFor(charset.iconvName);
    if (!converter.IsOpen()) {
        return false;
    }
    // A conversion that ended early may have left a stateful charset shifted.
    iconv(converter.Get(), nullptr, nullptr, nullptr, nullptr);
    out.clear();
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char chunk[1024];
    for (;;) {
        char* to = chunk;
        std::size_t toLeft = sizeof chunk;
        // The final call with no input flushes a stateful charset's shift sequence.
        const std::size_t result = inLeft > 0
                                       ? iconv(converter.Get(), &in, &inLeft, &to, &toLeft)
                                       : iconv(converter.Get(), nullptr, nullptr, &to, &toLeft);
        const int error = errno;
        out.append(chunk, sizeof chunk - toLeft);
        if (result != static_cast<std::size_t>(-1)) {
            if (inLeft == 0 && to == chunk) {
                return true;
            }
            continue;
        }
        if (error == E2BIG) {
            continue;
        }
        // A byte the charset does not define, or a sequence cut off at the end.
        out += "\xef\xbf\xbd";
        if (error != EILSEQ || inLeft == 0) {
            return true;
        }
        ++in;
        --inLeft;
    }
}

} // namespace mime
