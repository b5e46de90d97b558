// The entry points of libbrisa-mbrola, the Brisa voice's diphone synthesizer, with C linkage:
// the program loads the library at run time and calls these only.
//
// A session: init_MBR(database); then for each utterance reset_MBR, write_MBR of phoneme lines
// ("NAME DURATION_MS [POSITION% HERTZ]...", ";" comments, "_" and "__" pauses, "#" alone a
// flush), flush_MBR at its end, and read_MBR until it gives 0. Samples come out as they are made:
// a phoneme is made once the next is written and a pitch point at or after its end is known.
// Results below 0 are failures (the kBrisaError codes); lastError_MBR and lastErrorStr_MBR tell
// the last one. Not for use from two threads at once.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

enum {
    kBrisaErrorNoDatabase = -1,      // no database open (init_MBR not called or failed)
    kBrisaErrorDatabase = -2,        // the database cannot be read or is damaged
    kBrisaErrorLine = -3,            // a phoneme line is malformed (it is dropped)
    kBrisaErrorUnknownPhoneme = -4,  // a phoneme the database lacks, while setNoError_MBR is 0
    kBrisaErrorArgument = -5,        // a null buffer, a negative size, an unknown sample type
    kBrisaErrorMemory = -6,
};

// Sample types of readtype_MBR.
enum { kBrisaLin16 = 0, kBrisaLin8 = 1, kBrisaUlaw = 2, kBrisaAlaw = 3 };

// Opens the database file (closing any open one); 0, or a negative code.
int init_MBR(const char* databasePath);
// The same, then `rename` ("OLD NEW ..." pairs: NEW is said as OLD, OLD is known no more) and
// `clone` (pairs: NEW is said as OLD as well); either may be null or empty.
int init_rename_MBR(const char* databasePath, const char* rename, const char* clone);
// Takes text holding phoneme lines; a line is taken at its line feed (a trailing CR is dropped),
// an unfinished one waits for the next write or the flush. 0, or a negative code for the first
// bad line (the lines before it are taken, the text from it on is not).
int write_MBR(const char* lines);
// Ends the utterance: every phoneme written becomes samples.
int flush_MBR(void);
// Copies up to `capacity` 16-bit samples; the number copied, 0 when none is waiting.
int read_MBR(short* buffer, int capacity);
// The same in the given sample type (bytes for LIN8, ULAW and ALAW).
int readtype_MBR(void* buffer, int capacity, int type);
// Forgets the database; the library can be opened again.
void close_MBR(void);
// Forgets what was written and not yet read. 0, or kBrisaErrorNoDatabase.
int reset_MBR(void);
int lastError_MBR(void);
// Copies the last error's text (NUL-terminated, cut to fit); its length.
int lastErrorStr_MBR(char* buffer, int capacity);
// The tolerance of unknown phonemes: 0 makes a phoneme the database lacks a failure of its line;
// any other value speaks it as silence. Diphones the database lacks are never a failure: the
// phoneme is joined as after or before a pause. The default is 0.
void setNoError_MBR(int tolerance);
int getNoError_MBR(void);
// The output rate (8000 to 48000, resampled from the database's 16000); others are refused.
void setFreq_MBR(int hertz);
int getFreq_MBR(void);
// The gain applied to the output (0 to 8; 1 as made).
void setVolumeRatio_MBR(float ratio);
float getVolumeRatio_MBR(void);
// Copies the library's version text; its length.
int getVersion_MBR(char* buffer, int capacity);
// Copies facts of the open database: 0 its description, 1 its phoneme names, 2 its path; the
// length, or a negative code (no database, no such index).
int getDatabaseInfo_MBR(char* buffer, int capacity, int index);
// Kept for callers that hand a phoneme-line parser of their own: the pointer is stored and the
// library's own reader is always used.
void setParser_MBR(void* parser);

// A phoneme as an object: its name, duration and pitch points, for callers that build lines.
void* init_Phone(const char* name, float durationMs);
void reset_Phone(void* phone);  // forgets its pitch points
void close_Phone(void* phone);
// Adds a pitch point; 0, or a negative code (no phone, position outside 0..100, pitch not above 0).
int appendf0_Phone(void* phone, float percent, float hertz);

#ifdef __cplusplus
}
#endif
