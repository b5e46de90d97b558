// A synthesizer library that lacks appendf0_Phone: the loader must refuse it.
extern "C" {
int init_MBR(const char*) { return 0; }
int init_rename_MBR(const char*, const char*, const char*) { return 0; }
int write_MBR(const char*) { return 0; }
int flush_MBR() { return 0; }
int read_MBR(short*, int) { return 0; }
int readtype_MBR(void*, int, int) { return 0; }
void close_MBR() {}
int reset_MBR() { return 0; }
int lastError_MBR() { return 0; }
int lastErrorStr_MBR(char*, int) { return 0; }
void setNoError_MBR(int) {}
int getNoError_MBR() { return 0; }
void setFreq_MBR(int) {}
int getFreq_MBR() { return 16000; }
void setVolumeRatio_MBR(float) {}
float getVolumeRatio_MBR() { return 1; }
int getVersion_MBR(char*, int) { return 0; }
int getDatabaseInfo_MBR(char*, int, int) { return 0; }
void setParser_MBR(void*) {}
void* init_Phone(const char*, float) { return nullptr; }
void reset_Phone(void*) {}
void close_Phone(void*) {}
}
