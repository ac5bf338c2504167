#include "ShowConfig.h"

namespace ShowConfig {

QByteArray full()
{
    static const char *const days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    QByteArray ini = "[General]\r\nUploadURL=http://127.0.0.1:8080/upload?token=5f2b9c0e7d4a41f3b8e6\r\n";
    for (int show = 1; show <= 100; ++show) {
        const QByteArray n = QByteArray::number(show);
        ini += "\r\n[Show" + n + "]\r\n";
        ini += "Filename=/srv/playout/recordings/weekly/show" + n + "-master-mix.mp3\r\n";
        ini += "Title=The Show Number " + n + " - %date% (%dayname%)\r\n";
        ini += "Description=Music, news and requests from the studio, every week with the team of show " + n
               + ".\r\n";
        ini += QByteArray("UploadDay=") + days[show % 7] + "\r\n";
        ini += "UploadTime=" + QByteArray::number(show % 24).rightJustified(2, '0') + ':'
               + QByteArray::number(show % 60).rightJustified(2, '0') + "\r\n";
        ini += "Picture=/srv/playout/artwork/show" + n + ".jpg\r\n";
    }
    return ini;
}

} // namespace ShowConfig
