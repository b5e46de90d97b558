// Handlers of the command table, grouped by the file that holds them.
#pragma once

#include <string_view>

namespace parlendo {

class Interpreter;

// interp/control_flow.cpp
bool cmdDebug(Interpreter&, std::string_view, int);
bool cmdSe(Interpreter&, std::string_view, int);
bool cmdSenao(Interpreter&, std::string_view, int);
bool cmdFim(Interpreter&, std::string_view, int);
bool cmdEnquanto(Interpreter&, std::string_view, int);
bool cmdRepete(Interpreter&, std::string_view, int);
bool cmdDesvia(Interpreter&, std::string_view, int);
bool cmdChama(Interpreter&, std::string_view, int);
bool cmdRetorna(Interpreter&, std::string_view, int);
bool cmdTermina(Interpreter&, std::string_view, int);

// interp/assignment.cpp
bool cmdSeja(Interpreter&, std::string_view, int);

// interp/arithmetic.cpp
enum ArithmeticOp { kSubtract = 1, kMultiply = 2, kDivide = 3 };
bool cmdSoma(Interpreter&, std::string_view, int);
bool cmdArithmetic(Interpreter&, std::string_view, int op);
bool cmdRandomiza(Interpreter&, std::string_view, int);

// interp/string_commands.cpp
bool cmdConcatena(Interpreter&, std::string_view, int);
bool cmdCopia(Interpreter&, std::string_view, int);
bool cmdDeleta(Interpreter&, std::string_view, int);
bool cmdSubstitui(Interpreter&, std::string_view, int);
enum Conversion { kAnsiToUtf8, kUtf8ToAnsi, kBase64Encode, kBase64Decode, kQuotedDecode, kQuotedEncode };
bool cmdConvert(Interpreter&, std::string_view, int conversion);

// interp/file_base64.cpp
bool cmdCodArqBase64(Interpreter&, std::string_view, int);
bool cmdDecodArqBase64(Interpreter&, std::string_view, int);

// console/console_commands.cpp
bool cmdEscreve(Interpreter&, std::string_view, int);
bool cmdFala(Interpreter&, std::string_view, int);
bool cmdSoletra(Interpreter&, std::string_view, int);
bool cmdBipa(Interpreter&, std::string_view, int);
bool cmdLe(Interpreter&, std::string_view, int);
bool cmdTela(Interpreter&, std::string_view, int);
bool cmdCor(Interpreter&, std::string_view, int);
bool cmdFundo(Interpreter&, std::string_view, int);
bool cmdTitulo(Interpreter&, std::string_view, int);

// console/speech_commands.cpp
bool cmdFalaHora(Interpreter&, std::string_view, int);
bool cmdSintConfig(Interpreter&, std::string_view, int);

// commands/files.cpp
bool cmdAbre(Interpreter&, std::string_view, int);
bool cmdFecha(Interpreter&, std::string_view, int);
bool cmdCheca(Interpreter&, std::string_view, int);
bool cmdRemove(Interpreter&, std::string_view, int);
bool cmdRenomeia(Interpreter&, std::string_view, int);
bool cmdReplica(Interpreter&, std::string_view, int);
bool cmdDir(Interpreter&, std::string_view, int);
bool cmdBusca(Interpreter&, std::string_view, int);
bool cmdTamArq(Interpreter&, std::string_view, int humanReadable);
bool cmdCriaBin(Interpreter&, std::string_view, int);
bool cmdEscreveByte(Interpreter&, std::string_view, int);
bool cmdLeByte(Interpreter&, std::string_view, int);
bool cmdGravaBytes(Interpreter&, std::string_view, int);
bool cmdLimpaBytes(Interpreter&, std::string_view, int);
bool cmdFechaBin(Interpreter&, std::string_view, int);

// commands/lists.cpp
bool cmdLista(Interpreter&, std::string_view, int);

// commands/menus.cpp
bool cmdMenu(Interpreter&, std::string_view, int);

// commands/media_commands.cpp
bool cmdToca(Interpreter&, std::string_view, int);
bool cmdMci(Interpreter&, std::string_view, int);
bool cmdAlarme(Interpreter&, std::string_view, int);
bool cmdMensagem(Interpreter&, std::string_view, int);

// commands/processes.cpp
bool cmdExecuta(Interpreter&, std::string_view, int);
bool cmdExisteProg(Interpreter&, std::string_view, int);
bool cmdEncerraProg(Interpreter&, std::string_view, int);
bool cmdEnviaCmd(Interpreter&, std::string_view, int);
bool cmdCmd(Interpreter&, std::string_view, int);
bool cmdTransfere(Interpreter&, std::string_view, int);
// commands/desktop.cpp
bool cmdEspera(Interpreter&, std::string_view, int);
bool cmdDigita(Interpreter&, std::string_view, int);
bool cmdAciona(Interpreter&, std::string_view, int);
bool cmdClica(Interpreter&, std::string_view, int);
bool cmdCaptura(Interpreter&, std::string_view, int);
bool cmdJanela(Interpreter&, std::string_view, int);
bool cmdHandle(Interpreter&, std::string_view, int);
// commands/accessible_objects.cpp
bool cmdMsaa(Interpreter&, std::string_view, int);
// net/net_commands.cpp
bool cmdTrazDaRede(Interpreter&, std::string_view, int);
bool cmdHttp(Interpreter&, std::string_view, int);
bool cmdInternet(Interpreter&, std::string_view, int);
bool cmdConecta(Interpreter&, std::string_view, int);
bool cmdAtivaSsl(Interpreter&, std::string_view, int);
bool cmdServe(Interpreter&, std::string_view, int);
bool cmdObserva(Interpreter&, std::string_view, int);
bool cmdIp(Interpreter&, std::string_view, int);

// commands/midi.cpp, commands/picture.cpp, commands/sensor.cpp
bool cmdMidi(Interpreter&, std::string_view, int);
bool cmdImagem(Interpreter&, std::string_view, int);
bool cmdSensor(Interpreter&, std::string_view, int);

// A command whose subsystem is not built yet: says so and fails.
bool cmdNotAvailable(Interpreter&, std::string_view, int);

}  // namespace parlendo
