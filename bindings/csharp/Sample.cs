// The C# sample game: every conversation with the launcher through the binding, printing
// what it does and on which thread each Task completed.
// usage: mono sample.exe <product id> [expected user name]
using System;
using System.Linq;
using System.Threading;
using System.Threading.Tasks;
using Velhalyx.Launcher;

static class Sample
{
    static Session session;
    static readonly int gameThread = Thread.CurrentThread.ManagedThreadId;
    static bool otherThread;

    // Calls Update, as a game's frame loop does, until the task is done; its result.
    static T Wait<T>(Task<T> task)
    {
        task.ContinueWith(done => otherThread |= Thread.CurrentThread.ManagedThreadId != gameThread,
                          TaskContinuationOptions.ExecuteSynchronously);
        var deadline = DateTime.UtcNow.AddSeconds(20);
        while (!task.IsCompleted) {
            if (DateTime.UtcNow > deadline) throw new TimeoutException("no answer");
            session.Update();
            Thread.Sleep(1);
        }
        return task.Result;
    }

    static void Check(bool condition, string what)
    {
        if (!condition) throw new Exception("FAILED: " + what);
    }

    static int Main(string[] args)
    {
        uint product = uint.Parse(args[0]);
        using (session = new Session()) {
            var pipe = Wait(session.GetServerPipeAsync(product));
            Check(pipe != new IntPtr(-1), "server pipe");
            Console.WriteLine("server pipe: opened");

            var login = Wait(session.GetLoginDetailsAsync());
            Check(args.Length < 2 || login.UserName == args[1], "login details");
            Console.WriteLine("login details: user {0}, cd key {1}", login.UserName, login.CdKey);

            var data = Enumerable.Range(0, 3000).Select(i => (byte)(i * 7 + i / 256)).ToArray();
            var writer = Wait(session.OpenWriterAsync(product, 3));
            Check(writer.SetName("C#-Spielstand"), "name");
            var writes = Enumerable.Range(0, 3)
                             .Select(i => writer.WriteAsync(data.Skip(i * 1000).Take(1000).ToArray()))
                             .ToList();
            Check(writes.All(w => Wait(w) == 1000), "write");
            writer.Close(true);
            Console.WriteLine("savegame written: 3000 bytes in 3 writes");

            var list = Wait(session.ListAsync(product));
            Check(list.Count == 1 && list[0].SlotId == 3 && list[0].Size == 3000 &&
                      list[0].Name == "C#-Spielstand", "list");
            Console.WriteLine("savegames: {0}", string.Join(", ", list));

            var reader = Wait(session.OpenReaderAsync(product, 3));
            var parts = new[] { 0u, 1000u, 2000u }.Select(o => reader.ReadAsync(o, 1000)).ToList();
            Check(parts.SelectMany(p => Wait(p)).SequenceEqual(data), "read back");
            reader.Close();
            Console.WriteLine("savegame read back in 3 parts: identical");

            Wait(session.RemoveAsync(product, 3));
            Check(Wait(session.ListAsync(product)).Count == 0, "list after removing");
            Console.WriteLine("savegame removed: list empty");

            var refused = session.OpenReaderAsync(product, 0);
            Check(refused.IsFaulted && refused.Exception.InnerException is SavegameException,
                  "slot 0 refused at once");
            Console.WriteLine("slot 0: refused inside the call");
        }
        Check(Session.PendingCount == 0, "nothing left pending");
        Check(!otherThread, "every Task completed on the game's thread");
        Console.WriteLine("every Task completed on the game's thread ({0}): {1}", gameThread,
                          !otherThread);
        return 0;
    }
}
