// The bar-code renderer: Code 128 for Mailer Numbers and POSTNET for ZIP codes, drawn into
// a black-and-white image at a given module width and height, optionally turned. It knows
// nothing about pages or printers; the layouts place its image.
//
// Encoding (text -> symbol characters -> modules or bars) is kept apart from drawing, and
// the encoders are public so that their output can be compared with other encoders.
#pragma once

#include <QFont>
#include <QImage>
#include <QObject>
#include <QString>

#include <vector>

class TBarcodeBmp : public QObject {
    Q_OBJECT
public:
    // Only bcCode128 and bcPOSTNET are drawn; the others render as the empty image, since
    // the program never selects them.
    enum TBarCodeType {
        bcCode128,
        bcCode39,
        bcCode39Ext,
        bcUPCA,
        bcInt2of5,
        bcCode93,
        bcEAN13,
        bcEAN8,
        bcEAN128,
        bcPOSTNET,
        bcUPCE,
        bcUPC2ext,
        bcUPC5ext
    };
    Q_ENUM(TBarCodeType)

    // bcRotate90 is a quarter turn clockwise: the left edge becomes the top edge.
    enum TbcRotate { bcNoRotate, bcRotate90, bcRotate180, bcRotate270 };
    Q_ENUM(TbcRotate)

    Q_PROPERTY(int Height READ height WRITE setHeight)
    Q_PROPERTY(QImage Bitmap READ bitmap)
    Q_PROPERTY(QString BarcodeText READ barcodeText WRITE setBarcodeText)
    Q_PROPERTY(TBarCodeType BarcodeType READ barcodeType WRITE setBarcodeType)
    Q_PROPERTY(QFont Font READ font WRITE setFont)
    Q_PROPERTY(int Scale READ scale WRITE setScale)
    Q_PROPERTY(bool Interpret READ interpret WRITE setInterpret)
    Q_PROPERTY(TbcRotate Rotate READ rotate WRITE setRotate)

    explicit TBarcodeBmp(QObject* parent = nullptr);

    // The image is drawn from all current values when it is next asked for, so the order in
    // which the properties are set does not matter.
    int height() const { return height_; }
    void setHeight(int pixels); // image height before turning, at least 1
    QString barcodeText() const { return text_; }
    void setBarcodeText(const QString& text); // stores the text filtered for the symbology
    TBarCodeType barcodeType() const { return type_; }
    void setBarcodeType(TBarCodeType type); // filters the stored text again
    QFont font() const { return font_; }
    void setFont(const QFont& font); // a human-readable line is never drawn
    int scale() const { return scale_; }
    void setScale(int pixelsPerModule); // at least 1
    bool interpret() const { return interpret_; }
    void setInterpret(bool leaveRoomForText);
    TbcRotate rotate() const { return rotate_; }
    void setRotate(TbcRotate rotation);

    // The rendered, turned symbol: pixel value 1 is black, 0 white.
    const QImage& bitmap() const;

    // Width of the quiet zone on each side, in modules.
    static constexpr int QuietZoneModules = 10;

    // Code 128: drops every character above code 128. POSTNET: keeps the first eleven
    // decimal digits. Other symbologies: the text as given.
    static QString filterText(TBarCodeType type, const QString& text);

    // The encoders filter their text first, as setBarcodeText does.
    // Code 128 symbol character values: start, data, check character, stop (106). An
    // even-length digit text is start C (105) and its digit pairs; other text uses code
    // sets A and B with C for runs of four or more digits. Empty text gives no characters.
    static std::vector<int> code128Values(const QString& text);
    // The modules of a Code 128 symbol without quiet zones: '1' dark, '0' light.
    static QString code128Modules(const QString& text);

    // (10 - sum of digits mod 10) mod 10.
    static int postnetCorrectionDigit(const QString& zip);
    // One letter per POSTNET bar, left to right, frame bars included: 'F' full, 'H' half.
    // The digits are followed by their correction digit. No digits give no bars.
    static QString postnetBars(const QString& zip);

private:
    void render() const;
    void changed() { stale_ = true; }

    int height_ = 50;
    mutable QImage bitmap_;
    mutable bool stale_ = true;
    QString text_;
    TBarCodeType type_ = bcCode128;
    QFont font_{QStringLiteral("Courier New")};
    int scale_ = 1;
    bool interpret_ = true;
    TbcRotate rotate_ = bcNoRotate;
};
