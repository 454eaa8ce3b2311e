#pragma once

// TsyxHTMLRTF, the HTML scanner of the HTML-to-RTF converter: a state machine
// dispatched on each byte through a 256-entry handler table, with a hashed
// table of tag names and a table of character entities.

#include "render/rtfsyntax.h"

#include <array>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace brindle::render {

class TsyxHTMLRTF final : public TsyxRTFSyntax
{
public:
    enum class TokenClass : quint8
    {
        Entity = 0,
        ServerScript = 1,
        Comment = 2,
        AttributeName = 3,
        TagName = 4,
        EndOfText = 5,
        Whitespace = 6,
        QuotedString = 7,
        Symbol = 8,
        Text = 9,
        UnlistedTagName = 10,
        AttributeValue = 11,
    };

    enum class ScanState : quint8
    {
        EntityPending = 0,
        InServerScript = 1,
        InComment = 2,
        ExpectTagName = 3,
        InTag = 4,
        InText = 5,
        ExpectValue = 7,
    };

    static constexpr int kTagBuckets = 244;

    TsyxHTMLRTF();
    ~TsyxHTMLRTF() override;

    // Escapes backslash and braces, then writes every non-ASCII character as
    // \uN? escapes (one per UTF-16 unit) and every byte that is not part of
    // valid UTF-8 as \'hh.
    void EscapeToken(QByteArrayView &token) override;
    // Quoted attribute values take the string colour, and anything that
    // starts with "//" the comment colour.
    void FormatToken(int colorIndex, QByteArrayView token, RtfStream &out) override;
    void NextToken() override;
    bool AtEnd() const override;
    QByteArrayView CurrentToken() const override;
    int CurrentColorIndex() const override;
    void SetInput(const char *text, int lineNumber) override;
    void SetDefaultColors() override;
    // The base class's document, with the token loop bound to this scanner.
    void ConvertToStream(RtfStream &stream) override;

    static constexpr qsizetype kDefaultWindow = qsizetype(1) << 20;
    static constexpr qsizetype kMinimumWindow = 256;
    // The document ConvertToStream writes for the whole text, for a text read
    // piece by piece up to its end or its first NUL byte, holding no more
    // than `window` bytes of it at a time (kMinimumWindow at least). A token
    // longer than that is written in parts; the start of one whose colour is
    // not settled yet (blanks that may lead to "//", a long tag name) waits
    // in a temporary file once it outgrows memory.
    void convertSourceToStream(const TextSource &source, RtfStream &stream,
                               qsizetype window = kDefaultWindow);

    int pendingEntity() const { return m_pendingEntity; }

    // A UTF-8 text as EscapeToken writes it, whatever the token.
    static QByteArray escapedText(QByteArrayView utf8);

    // The tables behind the scanner.
    static std::span<const std::string_view> tagNames();
    static std::span<const std::string_view> entities();
    // Hash of a tag name: the bucket it is looked up in. Hashes of 244 or
    // more have no bucket.
    static int tagNameHash(std::string_view name);
    static const std::array<RtfColor, 11> &defaultColors();

private:
    // The kinds of token that can outgrow the window of convertSourceToStream.
    enum class LongKind : quint8
    {
        Blank,
        Quoted,
        Value,
        Name,
        TagName,
        Text,
        Comment,
        ServerScript,
    };

    using Handler = void (TsyxHTMLRTF::*)();
    using CheckFunction = TokenClass (TsyxHTMLRTF::*)();

    unsigned char byteAt(qsizetype position) const { return static_cast<unsigned char>(m_input[position]); }
    void dispatch() { (this->*m_dispatch[byteAt(m_position)])(); }

    void handleEnd();
    void handleLineFeed();
    void handleCarriageReturn();
    void handleBlankRun();
    void handleQuote();
    void handleEntity();
    void handleOpen();
    void handleEquals();
    void handleClose();
    void handleWord();

    // Out of line: inlined into the token loop, its code would crowd out
    // that of the common tokens (2 % more instructions per byte).
    template<TokenClass Block>
    [[gnu::noinline]] void scanBlock();
    template<TokenClass Block>
    bool closesBlock() const;
    void scanText();

    // Consumes bytes up to the first whose class has a bit of `Stop`.
    template<int Stop>
    void skipUntil();
    void consumeAnyByte();
    TokenClass lookupTagName();
    template<int Bucket>
    TokenClass checkBucket();
    TokenClass checkEmptyBucket();
    template<std::size_t... Buckets>
    void fillTagTable(std::index_sequence<Buckets...>);

    int m_pendingEntity = -1;
    ScanState m_state = ScanState::EntityPending;
    const char *m_input = "";
    std::array<Handler, 256> m_dispatch{};
    // Positions are 64-bit so that texts beyond 2 GiB scan correctly.
    qsizetype m_position = 0;
    const char *m_compareCursor = nullptr;
    qsizetype m_nameLength = 0;
    const char *m_nameStart = nullptr;
    std::array<CheckFunction, kTagBuckets> m_tagTable{};
    qsizetype m_tokenStart = 0;
    TokenClass m_tokenClass = TokenClass::Entity;
    qint32 m_lineNumber = 0;

    void writeCurrentToken(RtfStream &stream);
    void refill(qsizetype keepFrom);
    void convertLongToken(RtfStream &stream);
    bool scanLong(LongKind kind);
    qsizetype writeEscaped(qsizetype from, qsizetype limit, qsizetype end, RtfStream &out);

    // The window of convertSourceToStream: m_input points at it, and a NUL
    // follows its last byte as it follows a whole text.
    std::unique_ptr<char[]> m_window;
    qsizetype m_windowCapacity = 0;
    qsizetype m_windowEnd = 0;
    qsizetype m_refillBelow = 0;
    const TextSource *m_source = nullptr;
    bool m_sourceDone = true;
    // A long token: where its bytes not yet written start, and the hash of a
    // long tag name so far.
    qsizetype m_emitFrom = 0;
    qint64 m_longHash = 0;
    bool m_longInDigits = false;

    // Escaped tokens are built here; reused so that escaping allocates only
    // while the buffer grows to the longest token.
    std::string m_escaped;
    // Whether the current token holds a byte that EscapeToken rewrites.
    bool m_tokenNeedsEscape = false;
};

} // namespace brindle::render
