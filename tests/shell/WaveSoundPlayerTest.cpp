#include "shell/WaveSoundPlayer.h"

#include <QApplication>
#include <QDataStream>
#include <QFile>
#include <QTest>

#include <gtest/gtest.h>

using kestrel::shell::WaveSoundPlayer;

namespace {

QString programSound()
{
    return QApplication::applicationDirPath() + "/task complete.wav";
}

} // namespace

TEST(WaveSoundPlayer, TheSoundLiesNextToTheProgramAsAShortPcmWave)
{
    QFile file(programSound());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "copied into bin/ by the build";
    const QByteArray header = file.read(44);
    ASSERT_EQ(header.size(), 44);
    EXPECT_EQ(header.left(4), "RIFF");
    EXPECT_EQ(header.mid(8, 8), "WAVEfmt ");
    QDataStream in(header.mid(20));
    in.setByteOrder(QDataStream::LittleEndian);
    quint16 format = 0, channels = 0, bits = 0;
    quint32 rate = 0, byteRate = 0;
    quint16 blockAlign = 0;
    in >> format >> channels >> rate >> byteRate >> blockAlign >> bits;
    EXPECT_EQ(format, 1) << "plain PCM, which QSoundEffect reads";
    EXPECT_EQ(bits, 16);
    const double seconds = double(file.size() - 44) / byteRate;
    EXPECT_GT(seconds, 0.3);
    EXPECT_LT(seconds, 2.0);
}

TEST(WaveSoundPlayer, AMissingFileBeepsAndAPresentOneDoesNotWait)
{
    int beeps = 0;
    WaveSoundPlayer player([&] { ++beeps; });
    player.playAsync("/no/such/dir/task complete.wav");
    EXPECT_EQ(beeps, 1);

    QElapsedTimer timer;
    timer.start();
    player.playAsync(programSound());
    player.playAsync(programSound()); // a second run while the first still loads
    EXPECT_LT(timer.elapsed(), 500) << "asynchronous";
    QTest::qWait(300);
    // No sound device here is no failure of the run: nothing is thrown or shown.
    EXPECT_LE(beeps, 2);
}
