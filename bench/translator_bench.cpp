// Time of the built-in voice's translator on a 100-word Portuguese text, against espeak-ng's
// own text-to-phoneme conversion of the same text in the same run.
//
//   translator_bench [RULE_FILE] [ROUNDS]   (default: a small rule set of its own; 2000 rounds)
#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "text/cp1252.h"
#include "tts/translator.h"

namespace {

using Steady = std::chrono::steady_clock;

// 100 words.
const char* kText =
    "O rádio toca música brasileira todas as noites na cidade. A estação mais ouvida do país "
    "transmite notícias, entrevistas e canções antigas para quem trabalha de madrugada. Quando o "
    "locutor anuncia a previsão do tempo, os ouvintes ligam para contar como está o céu em cada "
    "bairro. Depois vem o programa de samba, com gravações raras guardadas pelo próprio dono da "
    "rádio, que coleciona discos desde criança. Muitas famílias deixam o aparelho ligado até de "
    "manhã, porque a voz conhecida faz companhia. Na sexta-feira há sorteios de ingressos para "
    "shows, e o telefone não para de tocar. Assim a pequena emissora continua viva e querida.";

// A rule set of the usual size and shape: context symbols, multi-letter foci, fallbacks last.
const char* kRules =
    "(A)%=a^ \n(A)M%=a~w \n(A)N[=a~ \n(A)M[=a~ \n(A)=a \n"
    "(E)%=i \n(E)S%=i \n(E)M%=e~y \n(E)N[=e~ \n(E)=e^ \n"
    "(I)N[=i~ \n(I)=i \n(O)%=u \n(O)S%=u \n(O)N[=o~ \n(O)=o^ \n(U)N[=u~ \n(U)=u \n"
    "(B)=b\n(C)+=s\n(CH)=x\n(C)=k\n%(D)I=dj\n(D)=d\n(F)=f\n(G)+=j\n(GU)+=g\n(G)=g\n(H)=\n"
    "(J)=j\n(K)=k\n(LH)=lh\n(L)[=w\n(L)=l\n(M)%=\n(M)=m\n(NH)=nh\n(N)=n\n(P)=p\n(QU)+=k\n(QU)=kw\n"
    "%(R)=rr\n(RR)=rr\n|(R)=rr\n(R)=r\n(SS)=s\n#(S)#=z\n(S)=s\n(T)I=tch\n(T)=t\n(V)=v\n(W)=w\n"
    "%(X)=x\n(X)=ks\n(Y)=i\n(Z)%=s\n(Z)=z\n(')=\n(~)=\n(^)=\n(`)=\n";

double microsecondsPer(int rounds, auto&& work) {
    double best = 1e300;
    for (int trial = 0; trial < 5; ++trial) {
        auto start = Steady::now();
        for (int i = 0; i < rounds; ++i) work();
        double us = std::chrono::duration<double, std::micro>(Steady::now() - start).count() / rounds;
        best = std::min(best, us);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    parlendo::Translator translator;
    if (argc > 1 && std::string(argv[1]) != "-") {
        if (!translator.loadTranslatorRules(argv[1])) {
            std::fprintf(stderr, "translator_bench: cannot read %s\n", argv[1]);
            return 1;
        }
    } else {
        translator.readTranslatorRules(kRules);
    }
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2000;
    const std::string text = parlendo::text::utf8ToCp1252(kText);

    size_t sink = 0;
    const double ours = microsecondsPer(rounds, [&] { sink += translator.translateText(text).size(); });
    // A word of 10 000 vowels (a hostile page line): the "#" contexts must not make it quadratic.
    const std::string longWord(10000, 'a');
    const double longOne = microsecondsPer(std::max(1, rounds / 100),
                                           [&] { sink += translator.translateText(longWord).size(); });

    if (espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, 0) < 0 ||
        espeak_SetVoiceByName("pt-br") != EE_OK) {
        std::printf(
            "translator %zu rules: %.1f us per 100-word text, %.1f us for one word of 10000 vowels "
            "(espeak-ng not available)\n",
            translator.ruleCount(), ours, longOne);
        return 0;
    }
    const int peerRounds = std::max(1, rounds / 10);
    const double peer = microsecondsPer(peerRounds, [&] {
        const void* p = kText;
        while (p) sink += std::char_traits<char>::length(espeak_TextToPhonemes(&p, espeakCHARS_UTF8, 0));
    });
    std::printf("100-word text, best of 5 trials (%d and %d rounds)\n", rounds, peerRounds);
    std::printf("  translator (%zu rules)          %9.1f us\n", translator.ruleCount(), ours);
    std::printf("  espeak-ng TextToPhonemes pt-br %9.1f us\n", peer);
    std::printf("  ratio translator / espeak-ng   %9.3f   (goal: translator well under 1000 us)\n",
                ours / peer);
    std::printf("  translator, one word of 10000 vowels %9.1f us\n", longOne);
    std::printf("  (checksum %zu)\n", sink);
    espeak_Terminate();
    return 0;
}
