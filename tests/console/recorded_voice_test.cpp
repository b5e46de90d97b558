// The recorded voice: numbers in words, the file names of the recordings, number words joined
// from their files, the time of FALAHORA, spelling and tones.
#include <gtest/gtest.h>

#include "console/grid_console_port.h"
#include "speech_desk.h"

namespace parlendo::testing {
namespace {

using Words = std::vector<std::string>;

TEST(NumberToWords, PortugueseWordsByGroupsOfThree) {
    EXPECT_EQ(numberToWords(0), "zero");
    EXPECT_EQ(numberToWords(7), "sete");
    EXPECT_EQ(numberToWords(17), "dezessete");
    EXPECT_EQ(numberToWords(20), "vinte");
    EXPECT_EQ(numberToWords(21), "vinte e um");
    EXPECT_EQ(numberToWords(100), "cem");
    EXPECT_EQ(numberToWords(101), "cento e um");
    EXPECT_EQ(numberToWords(120), "cento e vinte");
    EXPECT_EQ(numberToWords(200), "duzentos");
    EXPECT_EQ(numberToWords(1000), "mil ");
    EXPECT_EQ(numberToWords(1234), "mil e duzentos e trinta e quatro");
    EXPECT_EQ(numberToWords(2005), "dois mil e cinco");
    EXPECT_EQ(numberToWords(123456),
              "cento e vinte e tr\xEAs mil e quatrocentos e cinq\xFC"
              "enta e seis");
    EXPECT_EQ(numberToWords(1000000), "um milh\xE3o ");
    EXPECT_EQ(numberToWords(2000000),
              "dois milh\xF5"
              "es ");
    EXPECT_EQ(numberToWords(1001000), "um milh\xE3o e um mil ") << "\"um mil\" is cut only at the start";
    EXPECT_EQ(numberToWords(999999999999999),
              "novecentos e noventa e nove trilh\xF5"
              "es novecentos e noventa e nove bilh\xF5"
              "es "
              "novecentos e noventa e nove milh\xF5"
              "es novecentos e noventa e nove mil e "
              "novecentos e noventa e nove")
        << "the largest number of five groups";
    EXPECT_EQ(numberToWords(1000000000000), "um trilh\xE3o ");
}

TEST(RecordedVoice, FileNamesOfEachKindOfRecording) {
    SpeechDesk d;
    ASSERT_EQ(d.speech->startSpeech(0, d.folder.string() + "/palavras"), 0);
    RecordedVoice& r = d.speech->recorded();
    const std::string chars = d.letters.string() + "/";
    EXPECT_EQ(r.numberWordFile("dezessete"), chars + "_dezeset.wav");
    EXPECT_EQ(r.numberWordFile("dezesseis"), chars + "_dezesse.wav");
    EXPECT_EQ(r.numberWordFile("milh\xE3o"), chars + "_milhao.wav");
    EXPECT_EQ(r.numberWordFile("milh\xF5"
                               "es"),
              chars + "_milhoes.wav");
    EXPECT_EQ(r.numberWordFile("quatrocentos"), chars + "_quatroc.wav");
    EXPECT_EQ(r.wordFile("_DEL"), chars + "_DEL.wav") << "named words of the family";
    EXPECT_EQ(r.wordFile("ola"), d.folder.string() + "/palavras/ola.wav") << "the script's own words";
    EXPECT_EQ(r.toneFile('*'), chars + "dtmf_X.wav");
    EXPECT_EQ(r.toneFile('#'), chars + "dtmf_#.wav");
    EXPECT_EQ(r.characterFile(65), chars + "_unknown.wav") << "a missing character recording";
    writeWav(d.letters / "_65.wav", 10, 128);
    EXPECT_EQ(r.characterFile(65), chars + "_65.wav");
}

TEST(RecordedVoice, NumberWordsPlayFromTheirFiles) {
    SpeechDesk d;
    d.record({});
    ASSERT_EQ(d.start(), 0);
    RecordedVoice& r = d.speech->recorded();
    auto said = [&](int64_t n, bool feminine = false) {
        size_t from = d.player.played.size();
        r.sayNumberWords(numberToWords(n), feminine);
        return d.wordsPlayed(from);
    };
    EXPECT_EQ(said(17), Words{"dezessete"});
    EXPECT_EQ(said(16), Words{"dezesseis"});
    EXPECT_EQ(said(1000), Words{"mil"});
    EXPECT_EQ(said(1000000), (Words{"um", "milh\xE3o"}));
    EXPECT_EQ(said(120), (Words{"cento", "e", "vinte"}));
    EXPECT_EQ(said(21, true), (Words{"vinte", "e", "uma"})) << "feminine last word";
    EXPECT_EQ(said(2, true), Words{"duas"});
    EXPECT_EQ(said(1, false), Words{"um"});
    const auto& last = d.player.played.back();
    EXPECT_EQ(last.rate, 11025);
    EXPECT_EQ(last.bits, 8);
    EXPECT_EQ(last.channels, 1);

    std::filesystem::remove(d.letters / "_e.wav");
    EXPECT_EQ(said(120), (Words{"cento", "vinte"})) << "a missing word is skipped";
}

TEST(RecordedVoice, LongNumberWordsAreSplitAtTheBuffer) {
    SpeechDesk d;
    ASSERT_EQ(d.start(), 0);
    writeWav(d.letters / "_vinte.wav", 20000, 1);
    writeWav(d.letters / "_e.wav", 20000, 2);
    writeWav(d.letters / "_um.wav", 70000, 3);
    d.speech->recorded().sayNumberWords("vinte e um", false);
    std::vector<size_t> sizes;
    size_t total = 0;
    for (const auto& p : d.player.played) {
        sizes.push_back(p.samples.size());
        total += p.samples.size();
    }
    EXPECT_EQ(sizes, (std::vector<size_t>{20000, 30000, 30000, 30000}))
        << "a word that does not fit is played after the buffer; one longer than it fills it";
    EXPECT_EQ(total, 110000u) << "nothing lost";
}

TEST(RecordedVoice, WavSamplesOfEachFormat) {
    auto image = [](std::vector<uint8_t> header, std::vector<uint8_t> data) {
        header.insert(header.end(), data.begin(), data.end());
        return std::string(header.begin(), header.end());
    };
    EXPECT_EQ(wavSamples8BitMono(image(wavHeader(3, 11025, 1, 8), {1, 2, 3})), std::string("\x01\x02\x03"));
    EXPECT_EQ(wavSamples8BitMono(image(wavHeader(4, 22050, 1, 16), {0x00, 0x00, 0xFF, 0x7F})),
              std::string("\x80\xFF"))
        << "16-bit samples by their high byte";
    EXPECT_EQ(wavSamples8BitMono(image(wavHeader(4, 11025, 2, 8), {1, 2, 3, 4})), std::string("\x01\x03"));
    EXPECT_FALSE(wavSamples8BitMono("RIFF....WAVEfmt "));
    EXPECT_FALSE(wavSamples8BitMono(image(wavHeader(4, 11025, 1, 24), {1, 2, 3, 4})));
    std::string shortData = image(wavHeader(100, 11025, 1, 8), {9, 9});
    EXPECT_EQ(wavSamples8BitMono(shortData), std::string("\x09\x09")) << "a data size past the end";
}

// FALAHORA through the interpreter, with the voiced front.
struct TimeDesk : SpeechDesk {
    TimeDesk() : port(console, keys, *speech), in(Services{console, keys, *speech, settings, clock, port}) {
        record({}, {"_hora", "_horas", "_EHORA", "_minuto", "_minutos"});
        EXPECT_EQ(start(), 0);
    }
    // The words said: number words from memory, named words by their file.
    Words said(const std::string& line, bool inFull) {
        in.speakInFull = inFull;
        player.played.clear();
        lastResult = in.executeLine(line, false);
        Words out;
        for (const auto& p : player.played) {
            if (!p.file.empty())
                out.push_back(p.file.substr(p.file.rfind('/') + 1));
            else
                for (size_t i = 0; i < p.samples.size(); i += 10)
                    out.push_back(numberWords()[p.samples[i] - 1u]);
        }
        return out;
    }
    ConsoleGrid console;
    GridConsolePort port;
    Interpreter in;
    bool lastResult = false;
};

TEST(FalaHora, SaysHoursAndMinutesInFullOrShort) {
    TimeDesk d;
    EXPECT_EQ(d.said("FALAHORA \"01:01\"", true), (Words{"uma", "_hora.wav", "um", "_minuto.wav"}));
    EXPECT_TRUE(d.lastResult);
    EXPECT_EQ(d.said("FALAHORA \"01:01\"", false), (Words{"uma", "_EHORA.wav", "um"}));
    EXPECT_EQ(d.said("FALAHORA \"21:00\"", false), (Words{"vinte", "e", "uma", "_horas.wav"}));
    EXPECT_EQ(d.said("FALAHORA \"02:15\"", true), (Words{"duas", "_horas.wav", "quinze", "_minutos.wav"}));
    EXPECT_EQ(d.log.lines().back(), "time 02:15");

    for (const char* bad : {"FALAHORA \"1:05\"", "FALAHORA \"01-05\"", "FALAHORA \"ab:05\"", "FALAHORA"}) {
        EXPECT_TRUE(d.said(bad, true).empty()) << bad;
        EXPECT_FALSE(d.lastResult) << bad;
    }
}

TEST(RecordedVoice, SpellingPlaysEachCharacterAndTheTab) {
    SpeechDesk d;
    d.record({65, 66, 67}, {"_FON9"});
    ASSERT_EQ(d.start(), 0);
    d.speech->spell("ABC");
    EXPECT_EQ(d.player.fileNames(), (Words{"_65.wav", "_66.wav", "_67.wav"}));
    d.player.played.clear();
    d.speech->spell("A\tD\x01");
    EXPECT_EQ(d.player.fileNames(), (Words{"_65.wav", "_FON9.wav", "_unknown.wav"}))
        << "the tab's word; a missing recording; control codes silent";
    EXPECT_EQ(d.log.lines(), (Words{"spell ABC", "spell A\tD\x01"}));
}

TEST(RecordedVoice, TonesAndTheirPauses) {
    SpeechDesk d;
    ASSERT_EQ(d.start(), 0);
    d.player.fastPlayback = true;
    d.events.clear();
    d.speech->playTones("1*,#a");
    Words fifty(20, "sleep 50");
    Words expected = {"file dtmf_1.wav", "sleep 50", "sleep 50", "file dtmf_X.wav", "sleep 50", "sleep 50"};
    expected.insert(expected.end(), fifty.begin(), fifty.end());
    expected.insert(expected.end(), {"file dtmf_#.wav", "sleep 50", "sleep 50"});
    EXPECT_EQ(d.events, expected) << "100 ms after a tone, a second for a comma";
    for (const auto& p : d.player.played) EXPECT_FALSE(p.fast) << "tones at their own speed";
    EXPECT_TRUE(d.player.fastPlayback) << "restored after";
}

TEST(RecordedVoice, DateInWords) {
    SpeechDesk d;
    d.record({});
    ASSERT_EQ(d.start(), 0);
    d.speech->sayToday();  // Tuesday 8 December 2026
    EXPECT_EQ(d.player.fileNames(), (Words{"_Terca.wav", "_de.wav", "_Dezembr.wav", "_de.wav"}));
    EXPECT_EQ(d.wordsPlayed(), (Words{"oito", "dois", "mil", "e", "vinte", "e", "seis"}));
    EXPECT_EQ(weekdayOf(1, 1, 2000), 6);
    EXPECT_EQ(weekdayOf(29, 2, 2024), 4);
    d.player.played.clear();
    d.speech->recorded().sayDate(1, 3, 2026);
    EXPECT_EQ(d.player.fileNames(),
              (Words{"_Domingo.wav", "_primeir.wav", "_de.wav", "_Marco.wav", "_de.wav"}));
}

}  // namespace
}  // namespace parlendo::testing
