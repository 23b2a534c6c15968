#pragma once
// An output stream that passes everything to another through PrintableLines,
// line by line: whatever a command prints (file names, texts read from files
// and devices, messages), no byte of it can steer the terminal.

#include <ostream>
#include <streambuf>
#include <string>

namespace qt40::cli {

class PrintableStream : public std::ostream {
public:
    explicit PrintableStream(std::ostream& to);
    ~PrintableStream() override;

private:
    class Buffer : public std::streambuf {
    public:
        explicit Buffer(std::ostream& to) : to_(to) {}
        // Passes on what is held; `all` also a line not yet ended.
        void Emit(bool all);

    protected:
        int_type overflow(int_type c) override;
        std::streamsize xsputn(const char* s, std::streamsize n) override;
        int sync() override;

    private:
        std::ostream& to_;
        std::string held_;
    };
    Buffer buffer_;
};

}  // namespace qt40::cli
