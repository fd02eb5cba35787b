#include "reading/spoken_data_p.h"

namespace sayvell::reading::detail {
namespace {

std::vector<QString> split(const QString& s) {
    std::vector<QString> out;
    for (const QString& part : s.split(u' ', Qt::SkipEmptyParts)) out.push_back(part);
    return out;
}

const QString kDigits = QStringLiteral("零一二三四五六七八九");

NumberWords commonWords() {
    NumberWords w;
    for (int d = 0; d < 10; ++d) w.digits[size_t(d)] = kDigits.at(d);
    w.liang = QStringLiteral("兩");
    w.liangInside = false;
    w.ten = QStringLiteral("十");
    w.hundred = QStringLiteral("百");
    w.thousand = QStringLiteral("千");
    w.groups = {QString(), QStringLiteral("萬"), QStringLiteral("億"), QStringLiteral("兆"), QString()};
    w.point = QStringLiteral("點");
    w.negative = QStringLiteral("負");
    w.belowZero = QStringLiteral("零下");
    w.range = QStringLiteral("到");
    w.percent = QStringLiteral("百分之");
    w.fractionOf = QStringLiteral("分之");
    w.hour = QStringLiteral("點");
    w.minute = QStringLiteral("分");
    w.second = QStringLiteral("秒");
    w.year = QStringLiteral("年");
    w.month = QStringLiteral("月");
    w.day = QStringLiteral("日");
    w.celsius = QStringLiteral("攝氏");
    w.fahrenheit = QStringLiteral("華氏");
    w.degree = QStringLiteral("度");
    w.yuan = QStringLiteral("元");
    w.currencies = {{QStringLiteral("NT$"), QStringLiteral("新台幣")},
                    {QStringLiteral("US$"), QStringLiteral("美金")},
                    {QStringLiteral("HK$"), QStringLiteral("港幣")},
                    {QStringLiteral("$"), QString()}};
    w.measureWords = split(QStringLiteral(
        "個 位 件 張 本 隻 條 次 天 年 歲 人 份 杯 瓶 盒 包 箱 台 臺 輛 家 間 種 樣 點 分鐘 小時 週 周 星期 "
        "名 雙 對 片 塊 顆 粒 碗 盤 套 支 枝 根 頁 層 座 所 部 首 場 堂 節 班 組 隊 倍 成 元 角 毛 "
        "百 千 萬 億 公斤 公里 公尺 公分 公升 公克 毫升 毫米 毫克 斤 道 門 項 批 趟 圈 輪 口 位數"));
    w.notMeasures = split(QStringLiteral("年級 年代 點鐘方向"));
    w.ordinalBefore = QStringLiteral("第月週周初期拜號年");
    w.codeWords = split(
        QStringLiteral("電話 手機 號碼 編號 代碼 代號 帳號 賬號 訂單 單號 密碼 驗證碼 分機 傳真 卡號 序號 條碼 專線 "
                       "統編 郵遞區號 郵編 學號 工號 會員 房 房號 車次 座號 班次 Tel TEL tel Fax FAX No NO"));
    w.dateUnits = QStringLiteral("月日號時點分秒");
    for (const auto& [written, spoken] : {std::pair{"Tel", "電話"},
                                          {"TEL", "電話"},
                                          {"tel", "電話"},
                                          {"Fax", "傳真"},
                                          {"FAX", "傳真"},
                                          {"No", "編號"},
                                          {"NO", "編號"},
                                          {"no", "編號"}})
        w.letterCodeWords.push_back({QString::fromUtf8(written), QString::fromUtf8(spoken)});
    return w;
}

NumberWords mandarinWords() {
    NumberWords w = commonWords();
    w.letterJoiner = QStringLiteral(" ");  // each letter its own syllable
    w.units = {{QStringLiteral("kg"), QStringLiteral("公斤")}, {QStringLiteral("KG"), QStringLiteral("公斤")},
               {QStringLiteral("Kg"), QStringLiteral("公斤")}, {QStringLiteral("mg"), QStringLiteral("毫克")},
               {QStringLiteral("g"), QStringLiteral("公克")},  {QStringLiteral("km"), QStringLiteral("公里")},
               {QStringLiteral("KM"), QStringLiteral("公里")}, {QStringLiteral("cm"), QStringLiteral("公分")},
               {QStringLiteral("mm"), QStringLiteral("毫米")}, {QStringLiteral("m"), QStringLiteral("公尺")},
               {QStringLiteral("ml"), QStringLiteral("毫升")}, {QStringLiteral("mL"), QStringLiteral("毫升")},
               {QStringLiteral("ML"), QStringLiteral("毫升")}, {QStringLiteral("L"), QStringLiteral("公升")}};
    return w;
}

NumberWords cantoneseWords() {
    NumberWords w = commonWords();
    w.letterJoiner = QStringLiteral("-");  // apart, the English it turns to reads "A" as "a"
    w.liangInside = true;                  // 兩千兩百
    w.range = QStringLiteral("至");
    w.units = {{QStringLiteral("kg"), QStringLiteral("公斤")}, {QStringLiteral("KG"), QStringLiteral("公斤")},
               {QStringLiteral("Kg"), QStringLiteral("公斤")}, {QStringLiteral("mg"), QStringLiteral("毫克")},
               {QStringLiteral("g"), QStringLiteral("克")},    {QStringLiteral("km"), QStringLiteral("公里")},
               {QStringLiteral("KM"), QStringLiteral("公里")}, {QStringLiteral("cm"), QStringLiteral("厘米")},
               {QStringLiteral("mm"), QStringLiteral("毫米")}, {QStringLiteral("m"), QStringLiteral("米")},
               {QStringLiteral("ml"), QStringLiteral("毫升")}, {QStringLiteral("mL"), QStringLiteral("毫升")},
               {QStringLiteral("ML"), QStringLiteral("毫升")}, {QStringLiteral("L"), QStringLiteral("公升")}};
    for (const QString& m : split(QStringLiteral("蚊 毫 架 餐 轉 日 粒 啲 對 煲 碟 罐 樽 支")))
        w.measureWords.push_back(m);
    return w;
}

}  // namespace

const NumberWords* wordsFor(SpeechLanguage language) {
    static const NumberWords mandarin = mandarinWords();
    static const NumberWords cantonese = cantoneseWords();
    switch (language) {
    case SpeechLanguage::Mandarin: return &mandarin;
    case SpeechLanguage::Cantonese: return &cantonese;
    case SpeechLanguage::Other: break;
    }
    return nullptr;
}

}  // namespace sayvell::reading::detail
