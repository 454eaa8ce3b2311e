#pragma once

// TsyxRTFSyntax, the general text-to-RTF converter: the RTF prolog, the font
// and colour tables and the token loop. A scanner for one language derives
// from it and supplies the tokens; the only one the program has is the HTML
// scanner.

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <functional>
#include <span>
#include <utility>

namespace brindle::render {

// A colour as the stored colour tables hold it: $00BBGGRR, red in the low byte.
using RtfColor = quint32;

// A font of the RTF font table with the two screen metrics its entry needs:
// the pitch-and-family byte (the family class is its high four bits) and the
// character set code. The core has no font access, so the caller supplies them.
struct RtfFont
{
    QByteArray name;
    quint8 pitchAndFamily = 0;
    quint8 charSet = 0;
};

// Fixed pitch, family modern, ANSI character set: what the screen reports for
// Courier New.
inline const RtfFont kCourierNew{QByteArrayLiteral("Courier New"), 0x31, 0};

// The stream the converter writes to. It appends to a QByteArray through a
// raw cursor and grows the array geometrically, so writing a token costs a
// bounds check and a memcpy, never an allocation. The array holds spare room
// while the stream is open: read it only after finish() or after the stream
// is gone.
//
// Given a sink, the stream instead hands its bytes to the sink in slices of
// about `slice` bytes and reuses the array for the next slice: a large
// document then never sits in memory whole. The sink must not throw.
class RtfStream
{
public:
    using Sink = std::function<void(QByteArrayView)>;

    explicit RtfStream(QByteArray &target) : m_target(target) {}
    RtfStream(QByteArray &buffer, Sink sink, qsizetype slice = qsizetype(1) << 20)
        : m_target(buffer), m_sink(std::move(sink)), m_slice(slice)
    {
        m_target.clear();
    }
    ~RtfStream() { finish(); }
    RtfStream(const RtfStream &) = delete;
    RtfStream &operator=(const RtfStream &) = delete;

    // Makes room for `bytes` more bytes at once (a size hint; writing more is fine).
    void reserve(qsizetype bytes)
    {
        if (m_end - m_cursor < bytes)
            grow(bytes);
    }
    void write(QByteArrayView bytes)
    {
        const qsizetype n = bytes.size();
        reserve(n);
        if (n > 0)
            std::memcpy(m_cursor, bytes.data(), static_cast<std::size_t>(n));
        m_cursor += n;
    }
    void write(char byte)
    {
        reserve(1);
        *m_cursor++ = byte;
    }
    void writeNumber(qint64 number);
    // Direct access for writers that know how much they write at most:
    // claim room for `bytes`, write through the pointer, then commit the end.
    char *claim(qsizetype bytes)
    {
        reserve(bytes);
        return m_cursor;
    }
    void commit(char *end) { m_cursor = end; }
    // Bytes held in the array, including what the target held before.
    qsizetype size() const { return m_begin ? m_cursor - m_begin : m_target.size(); }
    // Cuts the target down to the bytes written, or hands the rest to the
    // sink. Writing afterwards appends again.
    void finish();

private:
    void grow(qsizetype bytes);

    QByteArray &m_target;
    Sink m_sink;
    qsizetype m_slice = 0;
    char *m_begin = nullptr;
    char *m_cursor = nullptr;
    char *m_end = nullptr;
};

// Reads up to `capacity` further bytes of a text into `buffer` and returns
// how many, 0 at the text's end. It may throw; the conversion reading from
// it then ends with that exception.
using TextSource = std::function<qsizetype(char *buffer, qsizetype capacity)>;

class TsyxRTFSyntax
{
public:
    TsyxRTFSyntax();
    virtual ~TsyxRTFSyntax();
    TsyxRTFSyntax(const TsyxRTFSyntax &) = delete;
    TsyxRTFSyntax &operator=(const TsyxRTFSyntax &) = delete;

    // Rewrites a token for RTF. A scanner that has to change the bytes points
    // `token` at a buffer of its own, valid until the next call.
    virtual void EscapeToken(QByteArrayView &token);
    // Writes the RTF text of one token: "\cf", the colour index, a space, the token.
    virtual void FormatToken(int colorIndex, QByteArrayView token, RtfStream &out);
    virtual void NextToken();
    virtual bool AtEnd() const;
    virtual QByteArrayView CurrentToken() const;
    virtual int CurrentColorIndex() const;
    // One colour table entry: "\red" R "\green" G "\blue" B ";".
    virtual QByteArray ColorEntry(RtfColor color) const;
    // Starts scanning a NUL-terminated text, which the caller keeps alive and
    // unchanged until the conversion has finished.
    virtual void SetInput(const char *text, int lineNumber);
    virtual void SetText(const char *text);
    virtual void SetupFonts(std::span<const RtfFont> fonts);
    // The i-th colour becomes colour index i + 1; index 0 is always black.
    virtual void SetupColors(std::span<const RtfColor> colors);
    virtual void ConvertToStream(RtfStream &stream);
    virtual QByteArray ConvertToString();
    virtual void SetDefaultColors();

    const QByteArray &colorTable() const { return m_colorTable; }
    const QByteArray &fontEntries() const { return m_fontEntries; }

    // The document up to its first token: header, font and colour tables,
    // document start and "\f0 ". The tokens and " }" follow it.
    void writeProlog(RtfStream &stream) const;

protected:
    // Writes "\cf", the colour index, a space and the token.
    static void writeColoredToken(int colorIndex, QByteArrayView token, RtfStream &out)
    {
        char *p = out.claim(token.size() + 16);
        p = std::copy_n("\\cf", 3, p);
        if (colorIndex >= 0 && colorIndex < 10) {
            *p++ = char('0' + colorIndex);
        } else if (colorIndex >= 10 && colorIndex < 100) {
            *p++ = char('0' + colorIndex / 10);
            *p++ = char('0' + colorIndex % 10);
        } else {
            p = std::to_chars(p, p + 12, colorIndex).ptr;
        }
        *p++ = ' ';
        copyShort(p, token.data(), token.size());
        out.commit(p + token.size());
    }

    // memcpy without the call for the few bytes most tokens have: two
    // overlapping moves cover any length from 4 to 16.
    static void copyShort(char *to, const char *from, qsizetype n)
    {
        if (n > 16) {
            std::memcpy(to, from, std::size_t(n));
        } else if (n >= 8) {
            quint64 head, tail;
            std::memcpy(&head, from, 8);
            std::memcpy(&tail, from + n - 8, 8);
            std::memcpy(to, &head, 8);
            std::memcpy(to + n - 8, &tail, 8);
        } else if (n >= 4) {
            quint32 head, tail;
            std::memcpy(&head, from, 4);
            std::memcpy(&tail, from + n - 4, 4);
            std::memcpy(to, &head, 4);
            std::memcpy(to + n - 4, &tail, 4);
        } else if (n > 0) {
            to[0] = from[0];
            to[n / 2] = from[n / 2];
            to[n - 1] = from[n - 1];
        }
    }

    // The token loop of ConvertToStream. A final scanner class runs it with
    // its own type: the per-token operations are then called without virtual
    // dispatch and can be inlined into the loop.
    template<class Scanner>
    static void writeTokens(Scanner &scanner, RtfStream &stream)
    {
        while (!scanner.Scanner::AtEnd()) {
            QByteArrayView token = scanner.Scanner::CurrentToken();
            const int colorIndex = scanner.Scanner::CurrentColorIndex();
            scanner.Scanner::EscapeToken(token);
            // A line break token, CR LF or a lone CR, is a paragraph end. No
            // space after \par: the backslash of the following \cf ends the word.
            if (!token.isEmpty() && token.size() <= 2 && token[0] == '\r' &&
                (token.size() == 1 || token[1] == '\n'))
                stream.write(QByteArrayView("\\par", 4));
            scanner.Scanner::FormatToken(colorIndex, token, stream);
            scanner.Scanner::NextToken();
        }
    }

    QByteArray m_header;
    QByteArray m_fontTableClosing;
    QByteArray m_documentStart;
    QByteArray m_colorTable;
    QByteArray m_fontEntries;
    qint32 m_codePage = 1252;
};

} // namespace brindle::render
