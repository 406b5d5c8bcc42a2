// The show's music: one stream of the music file named by the script. Its
// play position in milliseconds is the show's clock; its length decides when
// the show ends.
#pragma once

struct FSOUND_STREAM;

class MusicStream {
public:
    // Starts the sound library and opens the file as a stream. The object is
    // usable in every case: when the library or the file fails, the user is
    // told, a quit with code 1 is posted, and every operation does nothing.
    explicit MusicStream(const char* fileName);
    // Closes the stream and the library if Close was not called.
    virtual ~MusicStream();

    // Closes the stream, if any, then the sound library unless another
    // stream still uses it (two shows are open while one is reloaded).
    virtual void Close();
    // Starts the music from its beginning (nothing without a stream).
    virtual void Play();
    // The play position in milliseconds; 0 without a stream.
    virtual int GetTime();
    // The music's length in milliseconds; 0 without a stream.
    virtual unsigned int GetLength();

    // True when the file was opened.
    bool IsOpen() const { return m_stream != nullptr; }

    // For programs that move about in the music (the player never does).
    // Pauses or resumes the music; paused before Play, it starts paused.
    void SetPaused(bool paused);
    // Moves the play position to `ms`, also while paused or before Play.
    // False without a stream, or when the format cannot seek (a playing
    // stream then starts again from its beginning).
    bool SetTime(int ms);

    MusicStream(const MusicStream&) = delete;
    MusicStream& operator=(const MusicStream&) = delete;

private:
    FSOUND_STREAM* m_stream;
    int m_channel;
    bool m_closed;
    bool m_usesLibrary = false;
};
