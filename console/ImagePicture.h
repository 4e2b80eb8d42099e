#pragma once
// The picture area of the main form: paints the current fingerprint image
// unscaled, one grey level per pixel, with its top-left pixel at (1, 1) of
// the sunken frame (control 1000). The image builds up on screen as the
// pieces arrive: the capture calls Refresh after every piece.
#include <QImage>
#include <QWidget>

class CImageStore;

class CImagePicture : public QWidget {
    Q_OBJECT
public:
    // Made as a child of the picture frame, over its inside.
    CImagePicture(const CImageStore& image, QWidget* frame);

    // The image changed: paint it again (without erasing first).
    void Refresh() { update(); }
    // Paint events handled so far.
    int PaintCount() const { return m_nPaints; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const CImageStore& m_Image;
    int m_nPaints = 0;
};
