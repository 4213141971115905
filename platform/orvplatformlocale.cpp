#include "platform/orvplatformlocale.h"

#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <vector>

namespace orv {

namespace {

// Ascending by ID. Short names are the three-letter names the locales have
// always had; the environment adds the script letters that tell two scripts
// of one language apart.
constexpr TORVPlatformLocale KLocales[] = {
    {0x0401, u"ARA", u"Arabic (Saudi Arabia)", 1256, "ar_SA"},
    {0x0402, u"BGR", u"Bulgarian (Bulgaria)", 1251, "bg_BG"},
    {0x0403, u"CAT", u"Catalan (Catalan)", 1252, "ca_ES"},
    {0x0404, u"CHT", u"Chinese (Taiwan)", 950, "zh_Hant_TW"},
    {0x0405, u"CSY", u"Czech (Czech Republic)", 1250, "cs_CZ"},
    {0x0406, u"DAN", u"Danish (Denmark)", 1252, "da_DK"},
    {0x0407, u"DEU", u"German (Germany)", 1252, "de_DE"},
    {0x0408, u"ELL", u"Greek (Greece)", 1253, "el_GR"},
    {0x0409, u"ENU", u"English (United States)", 1252, "en_US"},
    {0x040A, u"ESP", u"Spanish (Spain, Traditional Sort)", 1252, "es_ES@collation=traditional"},
    {0x040B, u"FIN", u"Finnish (Finland)", 1252, "fi_FI"},
    {0x040C, u"FRA", u"French (France)", 1252, "fr_FR"},
    {0x040D, u"HEB", u"Hebrew (Israel)", 1255, "he_IL"},
    {0x040E, u"HUN", u"Hungarian (Hungary)", 1250, "hu_HU"},
    {0x040F, u"ISL", u"Icelandic (Iceland)", 1252, "is_IS"},
    {0x0410, u"ITA", u"Italian (Italy)", 1252, "it_IT"},
    {0x0411, u"JPN", u"Japanese (Japan)", 932, "ja_JP"},
    {0x0412, u"KOR", u"Korean (Korea)", 949, "ko_KR"},
    {0x0413, u"NLD", u"Dutch (Netherlands)", 1252, "nl_NL"},
    {0x0414, u"NOR", u"Norwegian, Bokmål (Norway)", 1252, "nb_NO"},
    {0x0415, u"PLK", u"Polish (Poland)", 1250, "pl_PL"},
    {0x0416, u"PTB", u"Portuguese (Brazil)", 1252, "pt_BR"},
    {0x0417, u"RMC", u"Romansh (Switzerland)", 1252, "rm_CH"},
    {0x0418, u"ROM", u"Romanian (Romania)", 1250, "ro_RO"},
    {0x0419, u"RUS", u"Russian (Russia)", 1251, "ru_RU"},
    {0x041A, u"HRV", u"Croatian (Croatia)", 1250, "hr_HR"},
    {0x041B, u"SKY", u"Slovak (Slovakia)", 1250, "sk_SK"},
    {0x041C, u"SQI", u"Albanian (Albania)", 1250, "sq_AL"},
    {0x041D, u"SVE", u"Swedish (Sweden)", 1252, "sv_SE"},
    {0x041E, u"THA", u"Thai (Thailand)", 874, "th_TH"},
    {0x041F, u"TRK", u"Turkish (Turkey)", 1254, "tr_TR"},
    {0x0420, u"URD", u"Urdu (Islamic Republic of Pakistan)", 1256, "ur_PK"},
    {0x0421, u"IND", u"Indonesian (Indonesia)", 1252, "id_ID"},
    {0x0422, u"UKR", u"Ukrainian (Ukraine)", 1251, "uk_UA"},
    {0x0423, u"BEL", u"Belarusian (Belarus)", 1251, "be_BY"},
    {0x0424, u"SLV", u"Slovenian (Slovenia)", 1250, "sl_SI"},
    {0x0425, u"ETI", u"Estonian (Estonia)", 1257, "et_EE"},
    {0x0426, u"LVI", u"Latvian (Latvia)", 1257, "lv_LV"},
    {0x0427, u"LTH", u"Lithuanian (Lithuania)", 1257, "lt_LT"},
    {0x0428, u"TAJ", u"Tajik (Cyrillic, Tajikistan)", 1251, "tg_Cyrl_TJ"},
    {0x0429, u"FAR", u"Persian (Iran)", 1256, "fa_IR"},
    {0x042A, u"VIT", u"Vietnamese (Vietnam)", 1258, "vi_VN"},
    {0x042B, u"HYE", u"Armenian (Armenia)", 0, "hy_AM"},
    {0x042C, u"AZE", u"Azeri (Latin, Azerbaijan)", 1254, "az_Latn_AZ"},
    {0x042D, u"EUQ", u"Basque (Basque)", 1252, "eu_ES"},
    {0x042E, u"HSB", u"Upper Sorbian (Germany)", 1252, "hsb_DE"},
    {0x042F, u"MKI", u"Macedonian (North Macedonia)", 1251, "mk_MK"},
    {0x0432, u"TSN", u"Setswana (South Africa)", 1252, "tn_ZA"},
    {0x0434, u"XHO", u"isiXhosa (South Africa)", 1252, "xh_ZA"},
    {0x0435, u"ZUL", u"isiZulu (South Africa)", 1252, "zu_ZA"},
    {0x0436, u"AFK", u"Afrikaans (South Africa)", 1252, "af_ZA"},
    {0x0437, u"KAT", u"Georgian (Georgia)", 0, "ka_GE"},
    {0x0438, u"FOS", u"Faroese (Faroe Islands)", 1252, "fo_FO"},
    {0x0439, u"HIN", u"Hindi (India)", 0, "hi_IN"},
    {0x043A, u"MLT", u"Maltese (Malta)", 0, "mt_MT"},
    {0x043B, u"SME", u"Sami, Northern (Norway)", 1252, "se_NO"},
    {0x043E, u"MSL", u"Malay (Malaysia)", 1252, "ms_MY"},
    {0x043F, u"KKZ", u"Kazakh (Kazakhstan)", 0, "kk_KZ"},
    {0x0440, u"KYR", u"Kyrgyz (Kyrgyzstan)", 1251, "ky_KG"},
    {0x0441, u"SWK", u"Kiswahili (Kenya)", 1252, "sw_KE"},
    {0x0442, u"TUK", u"Turkmen (Turkmenistan)", 1250, "tk_TM"},
    {0x0443, u"UZB", u"Uzbek (Latin, Uzbekistan)", 1254, "uz_Latn_UZ"},
    {0x0444, u"TTT", u"Tatar (Russia)", 1251, "tt_RU"},
    {0x0445, u"BNG", u"Bengali (India)", 0, "bn_IN"},
    {0x0446, u"PAN", u"Punjabi (India)", 0, "pa_IN"},
    {0x0447, u"GUJ", u"Gujarati (India)", 0, "gu_IN"},
    {0x0448, u"ORI", u"Odia (India)", 0, "or_IN"},
    {0x0449, u"TAM", u"Tamil (India)", 0, "ta_IN"},
    {0x044A, u"TEL", u"Telugu (India)", 0, "te_IN"},
    {0x044B, u"KDI", u"Kannada (India)", 0, "kn_IN"},
    {0x044C, u"MYM", u"Malayalam (India)", 0, "ml_IN"},
    {0x044D, u"ASM", u"Assamese (India)", 0, "as_IN"},
    {0x044E, u"MAR", u"Marathi (India)", 0, "mr_IN"},
    {0x044F, u"SAN", u"Sanskrit (India)", 0, "sa_IN"},
    {0x0450, u"MON", u"Mongolian (Cyrillic, Mongolia)", 1251, "mn_MN"},
    {0x0451, u"BOB", u"Tibetan (PRC)", 0, "bo_CN"},
    {0x0452, u"CYM", u"Welsh (United Kingdom)", 1252, "cy_GB"},
    {0x0453, u"KHM", u"Khmer (Cambodia)", 0, "km_KH"},
    {0x0454, u"LAO", u"Lao (Lao P.D.R.)", 0, "lo_LA"},
    {0x0456, u"GLC", u"Galician (Galician)", 1252, "gl_ES"},
    {0x0457, u"KNK", u"Konkani (India)", 0, "kok_IN"},
    {0x045A, u"SYR", u"Syriac (Syria)", 0, "syr_SY"},
    {0x045B, u"SIN", u"Sinhala (Sri Lanka)", 0, "si_LK"},
    {0x045D, u"IUK", u"Inuktitut (Syllabics, Canada)", 0, "iu_Cans_CA"},
    {0x045E, u"AMH", u"Amharic (Ethiopia)", 0, "am_ET"},
    {0x0461, u"NEP", u"Nepali (Nepal)", 0, "ne_NP"},
    {0x0462, u"FYN", u"Frisian (Netherlands)", 1252, "fy_NL"},
    {0x0463, u"PAS", u"Pashto (Afghanistan)", 0, "ps_AF"},
    {0x0464, u"FPO", u"Filipino (Philippines)", 1252, "fil_PH"},
    {0x0465, u"DIV", u"Divehi (Maldives)", 0, "dv_MV"},
    {0x0468, u"HAU", u"Hausa (Latin, Nigeria)", 1252, "ha_Latn_NG"},
    {0x046A, u"YOR", u"Yoruba (Nigeria)", 1252, "yo_NG"},
    {0x046B, u"QUB", u"Quechua (Bolivia)", 1252, "qu_BO"},
    {0x046C, u"NSO", u"Sesotho sa Leboa (South Africa)", 1252, "nso_ZA"},
    {0x046D, u"BAS", u"Bashkir (Russia)", 1251, "ba_RU"},
    {0x046E, u"LBX", u"Luxembourgish (Luxembourg)", 1252, "lb_LU"},
    {0x046F, u"KAL", u"Greenlandic (Greenland)", 1252, "kl_GL"},
    {0x0470, u"IBO", u"Igbo (Nigeria)", 1252, "ig_NG"},
    {0x0478, u"III", u"Yi (PRC)", 0, "ii_CN"},
    {0x047A, u"MPD", u"Mapudungun (Chile)", 1252, "arn_CL"},
    {0x047C, u"MWK", u"Mohawk (Mohawk)", 1252, "moh_CA"},
    {0x047E, u"BRE", u"Breton (France)", 1252, "br_FR"},
    {0x0480, u"UIG", u"Uyghur (PRC)", 1256, "ug_CN"},
    {0x0481, u"MRI", u"Maori (New Zealand)", 0, "mi_NZ"},
    {0x0482, u"OCI", u"Occitan (France)", 1252, "oc_FR"},
    {0x0483, u"COS", u"Corsican (France)", 1252, "co_FR"},
    {0x0484, u"GSW", u"Alsatian (France)", 1252, "gsw_FR"},
    {0x0485, u"SAH", u"Sakha (Russia)", 1251, "sah_RU"},
    {0x0486, u"QUT", u"K'iche (Guatemala)", 1252, "qut_GT"},
    {0x0487, u"KIN", u"Kinyarwanda (Rwanda)", 1252, "rw_RW"},
    {0x0488, u"WOL", u"Wolof (Senegal)", 1252, "wo_SN"},
    {0x048C, u"PRS", u"Dari (Afghanistan)", 1256, "fa_AF"},
    {0x0491, u"GLA", u"Scottish Gaelic (United Kingdom)", 1252, "gd_GB"},
    {0x0801, u"ARI", u"Arabic (Iraq)", 1256, "ar_IQ"},
    {0x0804, u"CHS", u"Chinese (PRC)", 936, "zh_CN"},
    {0x0807, u"DES", u"German (Switzerland)", 1252, "de_CH"},
    {0x0809, u"ENG", u"English (United Kingdom)", 1252, "en_GB"},
    {0x080A, u"ESM", u"Spanish (Mexico)", 1252, "es_MX"},
    {0x080C, u"FRB", u"French (Belgium)", 1252, "fr_BE"},
    {0x0810, u"ITS", u"Italian (Switzerland)", 1252, "it_CH"},
    {0x0813, u"NLB", u"Dutch (Belgium)", 1252, "nl_BE"},
    {0x0814, u"NON", u"Norwegian, Nynorsk (Norway)", 1252, "nn_NO"},
    {0x0816, u"PTG", u"Portuguese (Portugal)", 1252, "pt_PT"},
    {0x081A, u"SRL", u"Serbian (Latin, Serbia and Montenegro (Former))", 1250, "sr_Latn_CS"},
    {0x081D, u"SVF", u"Swedish (Finland)", 1252, "sv_FI"},
    {0x082C, u"AZE", u"Azeri (Cyrillic, Azerbaijan)", 1251, "az_Cyrl_AZ"},
    {0x082E, u"DSB", u"Lower Sorbian (Germany)", 1252, "dsb_DE"},
    {0x083B, u"SMF", u"Sami, Northern (Sweden)", 1252, "se_SE"},
    {0x083C, u"IRE", u"Irish (Ireland)", 1252, "ga_IE"},
    {0x083E, u"MSB", u"Malay (Brunei Darussalam)", 1252, "ms_BN"},
    {0x0843, u"UZB", u"Uzbek (Cyrillic, Uzbekistan)", 1251, "uz_Cyrl_UZ"},
    {0x0845, u"BNB", u"Bengali (Bangladesh)", 0, "bn_BD"},
    {0x0850, u"MNG", u"Mongolian (Traditional Mongolian, PRC)", 0, "mn_Mong_CN"},
    {0x085D, u"IUS", u"Inuktitut (Latin, Canada)", 1252, "iu_Latn_CA"},
    {0x085F, u"TZM", u"Tamazight (Latin, Algeria)", 1252, "tzm_Latn_DZ"},
    {0x086B, u"QUE", u"Quechua (Ecuador)", 1252, "qu_EC"},
    {0x0C01, u"ARE", u"Arabic (Egypt)", 1256, "ar_EG"},
    {0x0C04, u"ZHH", u"Chinese (Hong Kong S.A.R.)", 950, "zh_Hant_HK"},
    {0x0C07, u"DEA", u"German (Austria)", 1252, "de_AT"},
    {0x0C09, u"ENA", u"English (Australia)", 1252, "en_AU"},
    {0x0C0A, u"ESN", u"Spanish (Spain, International Sort)", 1252, "es_ES"},
    {0x0C0C, u"FRC", u"French (Canada)", 1252, "fr_CA"},
    {0x0C1A, u"SRB", u"Serbian (Cyrillic, Serbia and Montenegro (Former))", 1251, "sr_Cyrl_CS"},
    {0x0C3B, u"SMG", u"Sami, Northern (Finland)", 1252, "se_FI"},
    {0x0C6B, u"QUP", u"Quechua (Peru)", 1252, "qu_PE"},
    {0x1001, u"ARL", u"Arabic (Libya)", 1256, "ar_LY"},
    {0x1004, u"ZHI", u"Chinese (Singapore)", 936, "zh_Hans_SG"},
    {0x1007, u"DEL", u"German (Luxembourg)", 1252, "de_LU"},
    {0x1009, u"ENC", u"English (Canada)", 1252, "en_CA"},
    {0x100A, u"ESG", u"Spanish (Guatemala)", 1252, "es_GT"},
    {0x100C, u"FRS", u"French (Switzerland)", 1252, "fr_CH"},
    {0x101A, u"HRB", u"Croatian (Latin, Bosnia and Herzegovina)", 1250, "hr_BA"},
    {0x103B, u"SMJ", u"Sami, Lule (Norway)", 1252, "smj_NO"},
    {0x1401, u"ARG", u"Arabic (Algeria)", 1256, "ar_DZ"},
    {0x1404, u"ZHM", u"Chinese (Macao S.A.R.)", 950, "zh_Hant_MO"},
    {0x1407, u"DEC", u"German (Liechtenstein)", 1252, "de_LI"},
    {0x1409, u"ENZ", u"English (New Zealand)", 1252, "en_NZ"},
    {0x140A, u"ESC", u"Spanish (Costa Rica)", 1252, "es_CR"},
    {0x140C, u"FRL", u"French (Luxembourg)", 1252, "fr_LU"},
    {0x141A, u"BSB", u"Bosnian (Latin, Bosnia and Herzegovina)", 1250, "bs_Latn_BA"},
    {0x143B, u"SMK", u"Sami, Lule (Sweden)", 1252, "smj_SE"},
    {0x1801, u"ARM", u"Arabic (Morocco)", 1256, "ar_MA"},
    {0x1809, u"ENI", u"English (Ireland)", 1252, "en_IE"},
    {0x180A, u"ESA", u"Spanish (Panama)", 1252, "es_PA"},
    {0x180C, u"FRM", u"French (Monaco)", 1252, "fr_MC"},
    {0x181A, u"SRS", u"Serbian (Latin, Bosnia and Herzegovina)", 1250, "sr_Latn_BA"},
    {0x183B, u"SMA", u"Sami, Southern (Norway)", 1252, "sma_NO"},
    {0x1C01, u"ART", u"Arabic (Tunisia)", 1256, "ar_TN"},
    {0x1C09, u"ENS", u"English (South Africa)", 1252, "en_ZA"},
    {0x1C0A, u"ESD", u"Spanish (Dominican Republic)", 1252, "es_DO"},
    {0x1C1A, u"SRN", u"Serbian (Cyrillic, Bosnia and Herzegovina)", 1251, "sr_Cyrl_BA"},
    {0x1C3B, u"SMB", u"Sami, Southern (Sweden)", 1252, "sma_SE"},
    {0x2001, u"ARO", u"Arabic (Oman)", 1256, "ar_OM"},
    {0x2009, u"ENJ", u"English (Jamaica)", 1252, "en_JM"},
    {0x200A, u"ESV", u"Spanish (Venezuela)", 1252, "es_VE"},
    {0x201A, u"BSC", u"Bosnian (Cyrillic, Bosnia and Herzegovina)", 1251, "bs_Cyrl_BA"},
    {0x203B, u"SMS", u"Sami, Skolt (Finland)", 1252, "sms_FI"},
    {0x2401, u"ARY", u"Arabic (Yemen)", 1256, "ar_YE"},
    {0x2409, u"ENB", u"English (Caribbean)", 1252, "en_029"},
    {0x240A, u"ESO", u"Spanish (Colombia)", 1252, "es_CO"},
    {0x241A, u"SRM", u"Serbian (Latin, Serbia)", 1250, "sr_Latn_RS"},
    {0x243B, u"SMN", u"Sami, Inari (Finland)", 1252, "smn_FI"},
    {0x2801, u"ARS", u"Arabic (Syria)", 1256, "ar_SY"},
    {0x2809, u"ENL", u"English (Belize)", 1252, "en_BZ"},
    {0x280A, u"ESR", u"Spanish (Peru)", 1252, "es_PE"},
    {0x281A, u"SRO", u"Serbian (Cyrillic, Serbia)", 1251, "sr_Cyrl_RS"},
    {0x2C01, u"ARJ", u"Arabic (Jordan)", 1256, "ar_JO"},
    {0x2C09, u"ENT", u"English (Trinidad and Tobago)", 1252, "en_TT"},
    {0x2C0A, u"ESS", u"Spanish (Argentina)", 1252, "es_AR"},
    {0x2C1A, u"SRP", u"Serbian (Latin, Montenegro)", 1250, "sr_Latn_ME"},
    {0x3001, u"ARB", u"Arabic (Lebanon)", 1256, "ar_LB"},
    {0x3009, u"ENW", u"English (Zimbabwe)", 1252, "en_ZW"},
    {0x300A, u"ESF", u"Spanish (Ecuador)", 1252, "es_EC"},
    {0x301A, u"SRQ", u"Serbian (Cyrillic, Montenegro)", 1251, "sr_Cyrl_ME"},
    {0x3401, u"ARK", u"Arabic (Kuwait)", 1256, "ar_KW"},
    {0x3409, u"ENP", u"English (Republic of the Philippines)", 1252, "en_PH"},
    {0x340A, u"ESL", u"Spanish (Chile)", 1252, "es_CL"},
    {0x3801, u"ARU", u"Arabic (U.A.E.)", 1256, "ar_AE"},
    {0x380A, u"ESY", u"Spanish (Uruguay)", 1252, "es_UY"},
    {0x3C01, u"ARH", u"Arabic (Bahrain)", 1256, "ar_BH"},
    {0x3C0A, u"ESZ", u"Spanish (Paraguay)", 1252, "es_PY"},
    {0x4001, u"ARQ", u"Arabic (Qatar)", 1256, "ar_QA"},
    {0x4009, u"ENN", u"English (India)", 1252, "en_IN"},
    {0x400A, u"ESB", u"Spanish (Bolivia)", 1252, "es_BO"},
    {0x4409, u"ENM", u"English (Malaysia)", 1252, "en_MY"},
    {0x440A, u"ESE", u"Spanish (El Salvador)", 1252, "es_SV"},
    {0x4809, u"ENE", u"English (Singapore)", 1252, "en_SG"},
    {0x480A, u"ESH", u"Spanish (Honduras)", 1252, "es_HN"},
    {0x4C0A, u"ESI", u"Spanish (Nicaragua)", 1252, "es_NI"},
    {0x500A, u"ESU", u"Spanish (Puerto Rico)", 1252, "es_PR"},
    {0x540A, u"EST", u"Spanish (United States)", 1252, "es_US"},
};

// Alternative sorts of a table locale: reachable by collation ID, listed by
// the environment under their own names.
constexpr TORVPlatformLocale KSortVariants[] = {
    {0x10407, u"DEP", u"German (German Phone Book)", 1252, "de_DE@collation=phonebook"},
};

constexpr std::size_t KLocaleCount = std::size(KLocales);
constexpr std::size_t KVariantCount = std::size(KSortVariants);

// Index of a locale in the combined list (table, then variants), or -1.
int FindLocaleIndex(int32_t LocaleID) {
  const auto* end = KLocales + KLocaleCount;
  const auto* it = std::lower_bound(KLocales, end, LocaleID,
                                    [](const TORVPlatformLocale& L, int32_t ID) { return L.ID < ID; });
  if (it != end && it->ID == LocaleID) return static_cast<int>(it - KLocales);
  for (std::size_t i = 0; i < KVariantCount; ++i)
    if (KSortVariants[i].ID == LocaleID) return static_cast<int>(KLocaleCount + i);
  return -1;
}

const TORVPlatformLocale& LocaleAt(int Index) {
  return Index < static_cast<int>(KLocaleCount) ? KLocales[Index] : KSortVariants[Index - KLocaleCount];
}

// One collator per locale, opened on first use and kept for the life of the
// process. Comparing through a collator does not change it, so every thread
// shares the same one.
class TCollatorCache {
 public:
  TCollatorCache() {
    for (auto& slot : FCollators) slot.store(nullptr, std::memory_order_relaxed);
  }
  ~TCollatorCache() {
    for (auto& slot : FCollators)
      if (UCollator* c = slot.load(std::memory_order_acquire)) ucol_close(c);
  }
  TCollatorCache(const TCollatorCache&) = delete;
  TCollatorCache& operator=(const TCollatorCache&) = delete;

  const UCollator* Get(int Index) {
    std::atomic<UCollator*>& slot = FCollators[static_cast<std::size_t>(Index)];
    UCollator* c = slot.load(std::memory_order_acquire);
    if (c != nullptr) return c;
    UErrorCode status = U_ZERO_ERROR;
    c = ucol_open(LocaleAt(Index).CollatorName, &status);
    if (U_FAILURE(status) || c == nullptr) return nullptr;
    // Canonically equivalent texts (precomposed or combining accents) must
    // compare equal; string sort keeps punctuation significant.
    ucol_setAttribute(c, UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
    ucol_setAttribute(c, UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
    // Quaternary: Japanese tells hiragana from katakana only on that level.
    ucol_setAttribute(c, UCOL_STRENGTH, UCOL_QUATERNARY, &status);
    UCollator* expected = nullptr;
    if (!slot.compare_exchange_strong(expected, c, std::memory_order_acq_rel)) {
      ucol_close(c);
      return expected;
    }
    return c;
  }

 private:
  std::array<std::atomic<UCollator*>, KLocaleCount + KVariantCount> FCollators;
};

TCollatorCache& Collators() {
  static TCollatorCache cache;
  return cache;
}

// Full- and half-width forms fold to their ordinary forms. Each fold writes
// into Work and swaps it with Text, so that the buffers are reused.
void FoldWidth(std::u16string& Text, std::u16string& Work) {
  const UNormalizer2* nfkc = nullptr;
  Work.clear();
  for (std::size_t i = 0; i < Text.size(); ++i) {
    char16_t c = Text[i];
    if (c >= 0xFF01 && c <= 0xFF5E) {
      Work.push_back(static_cast<char16_t>(c - 0xFEE0));
    } else if (c == 0x3000) {
      Work.push_back(u' ');
    } else if (c >= 0xFF61 && c <= 0xFFEE) {
      UErrorCode status = U_ZERO_ERROR;
      if (nfkc == nullptr) nfkc = unorm2_getNFKCInstance(&status);
      UChar buffer[8];
      int32_t n = U_SUCCESS(status) ? unorm2_normalize(nfkc, &c, 1, buffer, 8, &status) : 0;
      if (U_SUCCESS(status) && n > 0)
        Work.append(reinterpret_cast<const char16_t*>(buffer), static_cast<std::size_t>(n));
      else
        Work.push_back(c);
    } else {
      Work.push_back(c);
    }
  }
  Text.swap(Work);
}

// Katakana fold to the matching hiragana.
void FoldKana(std::u16string& Text) {
  for (char16_t& c : Text)
    if ((c >= 0x30A1 && c <= 0x30F6) || c == 0x30FD || c == 0x30FE) c = static_cast<char16_t>(c - 0x60);
}

// Decomposes and drops the non-spacing marks (accents and other diacritics).
void FoldAccents(std::u16string& Text, std::u16string& Work) {
  UErrorCode status = U_ZERO_ERROR;
  const UNormalizer2* nfd = unorm2_getNFDInstance(&status);
  if (U_FAILURE(status)) return;
  Work.resize(Text.size() * 3 + 8);
  int32_t n = unorm2_normalize(nfd, Text.data(), static_cast<int32_t>(Text.size()), Work.data(),
                               static_cast<int32_t>(Work.size()), &status);
  if (status == U_BUFFER_OVERFLOW_ERROR) {
    status = U_ZERO_ERROR;
    Work.resize(static_cast<std::size_t>(n));
    n = unorm2_normalize(nfd, Text.data(), static_cast<int32_t>(Text.size()), Work.data(), n, &status);
  }
  if (U_FAILURE(status)) return;
  // Filtered in place: what is kept never runs ahead of what is read.
  int32_t kept = 0;
  for (int32_t i = 0; i < n;) {
    UChar32 c;
    U16_NEXT(Work.data(), i, n, c);
    if (u_charType(c) != U_NON_SPACING_MARK) U16_APPEND_UNSAFE(Work.data(), kept, c);
  }
  Work.resize(static_cast<std::size_t>(kept));
  Text.swap(Work);
}

void FoldCase(std::u16string& Text, std::u16string& Work) {
  UErrorCode status = U_ZERO_ERROR;
  Work.resize(Text.size() + 8);
  int32_t n = u_strFoldCase(Work.data(), static_cast<int32_t>(Work.size()), Text.data(),
                            static_cast<int32_t>(Text.size()), U_FOLD_CASE_DEFAULT, &status);
  if (status == U_BUFFER_OVERFLOW_ERROR) {
    status = U_ZERO_ERROR;
    Work.resize(static_cast<std::size_t>(n) + 1);
    n = u_strFoldCase(Work.data(), static_cast<int32_t>(Work.size()), Text.data(),
                      static_cast<int32_t>(Text.size()), U_FOLD_CASE_DEFAULT, &status);
  }
  if (U_FAILURE(status)) return;
  Work.resize(static_cast<std::size_t>(n));
  Text.swap(Work);
}

// Each insensitivity is applied by folding the texts before they reach the
// collator (always at full strength), so that the four options stay
// independent of one another: ignoring case never ignores width as well.
void FoldText(std::u16string& Text, uint32_t Flags, std::u16string& Work) {
  if (Flags & pcfIgnoreWidth) FoldWidth(Text, Work);
  if (Flags & pcfIgnoreKanaType) FoldKana(Text);
  if (Flags & pcfIgnoreNonSpace) FoldAccents(Text, Work);
  if (Flags & pcfIgnoreCase) FoldCase(Text, Work);
}

// The folded copies of the texts a thread compares, kept from one comparison
// to the next so that an insensitive comparison allocates nothing once the
// buffers have grown; a buffer grown for a very long text is let go after.
struct TFoldBuffers {
  static constexpr std::size_t KeptCapacity = 4096;
  std::u16string Text1, Text2, Work;

  void Release() {
    for (std::u16string* buffer : {&Text1, &Text2, &Work})
      if (buffer->capacity() > KeptCapacity) std::u16string().swap(*buffer);
  }
};

bool UsesTurkicCasing(const TORVPlatformLocale& Locale) {
  return std::strncmp(Locale.CollatorName, "tr", 2) == 0 || std::strncmp(Locale.CollatorName, "az", 2) == 0;
}

}  // namespace

std::span<const TORVPlatformLocale> PlatformLocales() { return {KLocales, KLocaleCount}; }

const TORVPlatformLocale* PlatformFindLocale(int32_t LocaleID) {
  const int index = FindLocaleIndex(LocaleID);
  return index < 0 ? nullptr : &LocaleAt(index);
}

bool PlatformLocaleKnown(int32_t LocaleID) { return FindLocaleIndex(LocaleID) >= 0; }

bool PlatformCompareStrings(int32_t LocaleID, uint32_t Flags, std::u16string_view S1, std::u16string_view S2,
                            int32_t& Result) {
  int index = FindLocaleIndex(LocaleID);
  if (index < 0) return false;
  const UCollator* collator = Collators().Get(index);
  if (collator == nullptr) return false;
  UCollationResult r;
  if ((Flags & (pcfIgnoreCase | pcfIgnoreNonSpace | pcfIgnoreKanaType | pcfIgnoreWidth)) == 0) {
    r = ucol_strcoll(collator, S1.data(), static_cast<int32_t>(S1.size()), S2.data(),
                     static_cast<int32_t>(S2.size()));
  } else {
    thread_local TFoldBuffers buffers;
    buffers.Text1.assign(S1);
    buffers.Text2.assign(S2);
    FoldText(buffers.Text1, Flags, buffers.Work);
    FoldText(buffers.Text2, Flags, buffers.Work);
    r = ucol_strcoll(collator, buffers.Text1.data(), static_cast<int32_t>(buffers.Text1.size()),
                     buffers.Text2.data(), static_cast<int32_t>(buffers.Text2.size()));
    buffers.Release();
  }
  Result = r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0);
  return true;
}

bool PlatformMapCase(int32_t LocaleID, bool Upper, TORVString& Value) {
  int index = FindLocaleIndex(LocaleID);
  if (index < 0) return false;
  const bool turkic = UsesTurkicCasing(LocaleAt(index));
  const int32_t n = static_cast<int32_t>(Value.size());
  for (int32_t i = 0; i < n;) {
    const int32_t start = i;
    UChar32 c;
    U16_NEXT(Value.data(), i, n, c);
    UChar32 m;
    if (turkic && Upper && c == u'i')
      m = 0x0130;
    else if (turkic && !Upper && c == u'I')
      m = 0x0131;
    else
      m = Upper ? u_toupper(c) : u_tolower(c);
    // Simple mappings never leave the plane of their character; a lone
    // surrogate maps to itself.
    if (m <= 0xFFFF && i - start == 1) {
      Value[static_cast<std::size_t>(start)] = static_cast<char16_t>(m);
    } else if (m > 0xFFFF && i - start == 2) {
      Value[static_cast<std::size_t>(start)] = static_cast<char16_t>(U16_LEAD(m));
      Value[static_cast<std::size_t>(start) + 1] = static_cast<char16_t>(U16_TRAIL(m));
    }
  }
  return true;
}

uint32_t PlatformUpperCodePoint(uint32_t CodePoint) {
  UChar32 m = u_toupper(static_cast<UChar32>(CodePoint));
  return ((CodePoint > 0xFFFF) == (m > 0xFFFF)) ? static_cast<uint32_t>(m) : CodePoint;
}

uint32_t PlatformLowerCodePoint(uint32_t CodePoint) {
  UChar32 m = u_tolower(static_cast<UChar32>(CodePoint));
  return ((CodePoint > 0xFFFF) == (m > 0xFFFF)) ? static_cast<uint32_t>(m) : CodePoint;
}

bool PlatformIsLetter(uint32_t CodePoint) { return u_isalpha(static_cast<UChar32>(CodePoint)) != 0; }

bool PlatformIsMark(uint32_t CodePoint) {
  return (U_GET_GC_MASK(static_cast<UChar32>(CodePoint)) & U_GC_M_MASK) != 0;
}

bool PlatformIsDigit(uint32_t CodePoint) { return u_isdigit(static_cast<UChar32>(CodePoint)) != 0; }

}  // namespace orv
