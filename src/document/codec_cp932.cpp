#include "document/codec.h"

// Code page 932: the codec of cp932.h (shared with the settings files) behind the interface.

namespace zimo::encoding {

namespace {

class Cp932Codec final : public Codec
{
public:
    QString decode(QByteArrayView bytes) const override { return cp932::decode(bytes); }
    EncodeResult encode(QStringView text, EncodingForm) const override
    {
        return cp932::encode(text);
    }
    // Code page 932 folds its duplicate cells onto their twins (the same characters); that is
    // the program's reading of such files anyway, and the document keeps those lines' bytes.
    bool keepsBytes(QByteArrayView, QStringView) const override { return true; }
};

} // namespace

const Codec &cp932Codec()
{
    static const Cp932Codec codec;
    return codec;
}

} // namespace zimo::encoding
