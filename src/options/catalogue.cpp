#include "options/catalogue.h"

namespace zento {

namespace {

// The order of every table is part of the settings file: a stored position
// names a row. The first row containing a row's ID must be that row.
const QStringList kContainers = {
    QStringLiteral("自動,元の形式を維持"),
    QStringLiteral("AVI,XviD/MS-MPEG4/etc..."),
    QStringLiteral("MPG,MPEG1"),
    QStringLiteral("M2P,MPEG2"),
    QStringLiteral("MP4,MPEG4/H.264"),
    QStringLiteral("3GP,MPEG4/H.263/H.264"),
    QStringLiteral("WMV,WMV1/WMV2"),
    QStringLiteral("ASF,MPEG4/MSMPEG4"),
    QStringLiteral("MOV,MPEG4/SVQ1(QuickTime)"),
    QStringLiteral("RM,RV10/RV20(RealVideo)"),
    QStringLiteral("OGM,THEORA(Ogg-Vorbis)"),
    QStringLiteral("FLV,FlashVideo"),
    QStringLiteral("SWF,Flash"),
};

const QStringList kVideoCodecs = {
    QStringLiteral("自動,元の圧縮形式を維持"),
    QStringLiteral("ASV1,Asus-v1"),
    QStringLiteral("ASV2,Asus-v2"),
    QStringLiteral("DVVIDEO,DV"),
    QStringLiteral("FFV1,FFmpegVideo1"),
    QStringLiteral("FFVHUFF,FFmpegVideo-Huff"),
    QStringLiteral("FLASHSV,FlashScreenVideo"),
    QStringLiteral("FLV,FlashVideo(Sorenson-H.263)"),
    QStringLiteral("H261,H.261"),
    QStringLiteral("H263,H.263"),
    QStringLiteral("H263P,H.263+(RealVideo1.0)"),
    QStringLiteral("LIBX264,H.264(AVC)"),
    QStringLiteral("HUFFYUV,Huff-YUV"),
    QStringLiteral("JPEGLS,JPEG-Lossless"),
    QStringLiteral("MJPEG,MotionJPEG"),
    QStringLiteral("MPEG1VIDEO,MPEG1"),
    QStringLiteral("MPEG2VIDEO,MPEG2(DVD-VOB)"),
    QStringLiteral("MPEG4"),
    QStringLiteral("MSMPEG4,MS-MPEG4"),
    QStringLiteral("MSMPEG4V1,MS-MPEG4-v1"),
    QStringLiteral("MSMPEG4V2,MS-MPEG4-v2"),
    QStringLiteral("QTRLE"),
    QStringLiteral("RAWVIDEO"),
    QStringLiteral("ROQVIDEO"),
    QStringLiteral("RV10,RealVideo1.0"),
    QStringLiteral("RV20,RealVideo2.0"),
    QStringLiteral("SNOW,FFmpegVideo-Snow"),
    QStringLiteral("SVQ1,SorensonVideo1"),
    QStringLiteral("LIBTHEORA,Theora"),
    QStringLiteral("WMV1,WindowsMediaVideo1"),
    QStringLiteral("WMV2,WindowsMediaVideo2"),
    QStringLiteral("LIBXVID,XviD"),
    QStringLiteral("ZLIB,LCL"),
    QStringLiteral("ZMBV"),
};

// The katakana in the labels are half-width, as the table has them.
const QStringList kAudioCodecs = {
    QStringLiteral("自動,元の圧縮形式を維持"),
    QStringLiteral("LIBFAAC,AAC(AdvancedAudio)"),
    QStringLiteral("AC3"),
    QStringLiteral("ADPCM_4XM,4X-IMA-ADPCM"),
    QStringLiteral("ADPCM_ADX,CRI-ADX-ADPCM(ｾｶﾞ/ﾄﾞﾘｰﾑｷｬｽﾄ)"),
    QStringLiteral("ADPCM_CT"),
    QStringLiteral("ADPCM_EA,ElectronicArts-ADPCM(EA/ｹﾞｰﾑ)"),
    QStringLiteral("ADPCM_IMA_DK3,Duck-DK3-IMA-ADPCM(ｾｶﾞ/ｻﾀｰﾝ)"),
    QStringLiteral("ADPCM_IMA_DK4,Duck-DK4-IMA-ADPCM(ｾｶﾞ/ｻﾀｰﾝ)"),
    QStringLiteral("ADPCM_IMA_QT,QT-IMA-ADPCM"),
    QStringLiteral("ADPCM_IMA_SMJPEG,SMJPEG-IMA-ADPCM(Loki/ｹﾞｰﾑ)"),
    QStringLiteral("ADPCM_IMA_WAV"),
    QStringLiteral("ADPCM_IMA_WS,WestwoodStudios-IMA-ADPCM(WS/ｹﾞｰﾑ)"),
    QStringLiteral("ADPCM_MS,MS-IMA-ADPCM"),
    QStringLiteral("ADPCM_SBPRO_2"),
    QStringLiteral("ADPCM_SBPRO_3"),
    QStringLiteral("ADPCM_SBPRO_4"),
    QStringLiteral("ADPCM_SWF"),
    QStringLiteral("ADPCM_XA,CDROM-XA-ADPCM"),
    QStringLiteral("ADPCM_YAMAHA"),
    QStringLiteral("LIBAMR_NB,AMR-NB"),
    QStringLiteral("LIBAMR_WB,AMR-WB"),
    QStringLiteral("FLAC,FreeLosslessAudio"),
    QStringLiteral("G726,G.726-ADPCM"),
    QStringLiteral("LIBGSM,GSM"),
    QStringLiteral("LIBGSM_MS,GSM-MS"),
    QStringLiteral("MP2,MP2(MPEG-AudioLayer2)"),
    QStringLiteral("LIBMP3LAME,MP3(MPEG-AudioLayer3)"),
    QStringLiteral("PCM_ALAW"),
    QStringLiteral("PCM_MULAW"),
    QStringLiteral("PCM_S8,WAVE-PCM(8bit)"),
    QStringLiteral("PCM_S16BE,WAVE-PCM(16bit)"),
    QStringLiteral("PCM_S16LE,WAVE-PCM(16bit)"),
    QStringLiteral("PCM_S24BE,WAVE-PCM(24bit)"),
    QStringLiteral("PCM_S24DAUD,WAVE-PCM(24bit)"),
    QStringLiteral("PCM_S24LE,WAVE-PCM(24bit)"),
    QStringLiteral("PCM_S32BE,WAVE-PCM(32bit)"),
    QStringLiteral("PCM_S32LE,WAVE-PCM(32bit)"),
    QStringLiteral("PCM_U8,WAVE-PCM(8bit)"),
    QStringLiteral("PCM_U16BE,WAVE-PCM(16bit)"),
    QStringLiteral("PCM_U16LE,WAVE-PCM(16bit)"),
    QStringLiteral("PCM_U24BE,WAVE-PCM(24bit)"),
    QStringLiteral("PCM_U24LE,WAVE-PCM(24bit)"),
    QStringLiteral("PCM_U32BE,WAVE-PCM(32bit)"),
    QStringLiteral("PCM_U32LE,WAVE-PCM(32bit)"),
    QStringLiteral("PCM_ZORK,WAVE-PCM(ZORK)"),
    QStringLiteral("ROQ_DPCM"),
    QStringLiteral("SONIC,FFmpegSonic"),
    QStringLiteral("SONICLS,FFmpegSonic-Lossless"),
    QStringLiteral("VORBIS,Ogg-Vorbis"),
    QStringLiteral("WMAV1,WindowsMediaAudio1"),
    QStringLiteral("WMAV2,WindowsMediaAudio2"),
};

} // namespace

const QStringList &CatalogueRows(Catalogue catalogue)
{
    switch (catalogue) {
    case Catalogue::Containers: return kContainers;
    case Catalogue::VideoCodecs: return kVideoCodecs;
    case Catalogue::AudioCodecs: break;
    }
    return kAudioCodecs;
}

QString CatalogueRowId(const QString &row)
{
    const qsizetype comma = row.indexOf(QLatin1Char(','));
    return comma < 0 ? row : row.left(comma);
}

QString CatalogueRowLabel(const QString &row)
{
    const qsizetype comma = row.indexOf(QLatin1Char(','));
    return comma < 0 ? QString() : row.mid(comma + 1);
}

int FindCatalogueRow(Catalogue catalogue, const QString &searchText)
{
    if (searchText.isEmpty())
        return -1;
    const QStringList &rows = CatalogueRows(catalogue);
    for (qsizetype i = 0; i < rows.size(); ++i)
        if (rows.at(i).contains(searchText, Qt::CaseSensitive))
            return static_cast<int>(i);
    return -1;
}

} // namespace zento
