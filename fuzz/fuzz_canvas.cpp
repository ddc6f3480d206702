// The PDF print canvas with any text: the three faces of the forms, any size and angle,
// text measured and drawn, the job written.
#include "canvas/PdfCanvas.h"
#include "fuzz/FuzzSupport.h"

#include <QFile>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::guiApplication();
    if (size < 3)
        return 0;
    static const char* const faces[] = {"OCR A Extended", "Arial", "Times New Roman"};
    static const int angles[] = {0, 180, 270};
    const QString face = QString::fromLatin1(faces[data[0] % 3]);
    const int points = 4 + data[1] % 40;
    const int angle = angles[data[2] % 3];
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data + 3), static_cast<qsizetype>(size - 3));
    PdfJobCanvas canvas(fuzz::workFolder() + "/pdf");
    canvas.BeginDocument();
    canvas.SetFont(face, points, angle);
    const int width = canvas.TextWidth(text);
    (void)canvas.TextHeight(text);
    canvas.DrawText(600, 600, text);
    canvas.DrawText(-width, 100000, text); // off the sheet
    canvas.NewPage();
    canvas.SetFont(face, points, 0);
    canvas.DrawText(100, 100, text.left(50));
    canvas.EndDocument();
    QFile::remove(canvas.lastFile());
    return 0;
}
