// SPDX-License-Identifier: GPL-3.0-or-later
#include "code_page.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QVarLengthArray>

namespace wire_text::code_page {

namespace {

// No code page the tool meets needs more bytes than this for one character.
constexpr qsizetype kLongestCharacterBytes = 4;

// A leading byte-order mark is text like any other.
QStringConverter::Flags DecoderFlags(Carry carry)
{
    return carry == Carry::Nothing
               ? QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom
               : QStringConverter::Flags(QStringConverter::Flag::ConvertInitialBom);
}

class QtDecoder final : public Decoder
{
public:
    QtDecoder(const std::optional<QByteArray> &name, Carry carry)
        : m_decoder(name ? QStringDecoder(name->constData(), DecoderFlags(carry))
                         : QStringDecoder(QStringConverter::System, DecoderFlags(carry)))
    {
    }
    bool isValid() const { return m_decoder.isValid(); }

    QString decode(QByteArrayView bytes) override { return m_decoder.decode(bytes); }
    bool hasError() const override { return m_decoder.hasError(); }
    QStringView take(char byte) override
    {
        // Room for what the decoder can give for the bytes of one character; small, so the
        // buffer never leaves the stack.
        if (m_taken.isEmpty()) {
            m_taken.resize(m_decoder.requiredSpace(kLongestCharacterBytes));
        }
        const QChar *end = m_decoder.appendToBuffer(m_taken.data(), QByteArrayView(&byte, 1));
        return QStringView(m_taken.data(), end);
    }
    void resetState() override { m_decoder.resetState(); }

private:
    QStringDecoder m_decoder;
    QVarLengthArray<QChar, 32> m_taken;
};

class QtEncoder final : public Encoder
{
public:
    explicit QtEncoder(const std::optional<QByteArray> &name)
        : m_encoder(name ? QStringEncoder(name->constData(), kFlags)
                         : QStringEncoder(QStringConverter::System, kFlags))
    {
    }
    bool isValid() const { return m_encoder.isValid(); }

    QByteArray encode(QStringView text) override { return m_encoder.encode(text); }
    bool hasError() const override { return m_encoder.hasError(); }

private:
    // Stateless so that pieces convert alone.
    static constexpr auto kFlags =
        QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom;
    QStringEncoder m_encoder;
};

}  // namespace

bool Converts(const QByteArray &name)
{
    return (QtDecoder(name, Carry::Nothing).isValid() && QtEncoder(name).isValid()) ||
           (MakePlatformDecoder(name) && MakePlatformEncoder(name));
}

std::unique_ptr<Decoder> MakeDecoder(const std::optional<QByteArray> &name, Carry carry)
{
    auto decoder = std::make_unique<QtDecoder>(name, carry);
    if (!decoder->isValid() && name) {
        return MakePlatformDecoder(*name);
    }
    return decoder;
}

std::unique_ptr<Encoder> MakeEncoder(const std::optional<QByteArray> &name)
{
    auto encoder = std::make_unique<QtEncoder>(name);
    if (!encoder->isValid() && name) {
        return MakePlatformEncoder(*name);
    }
    return encoder;
}

}  // namespace wire_text::code_page
