// The launcher client library for C#, through P/Invoke and the library's C interface
// (velhalyxapi_r2_c.h). Works with velhalyxapi_r2.dll on Windows and libvelhalyxapi_r2.so under
// Mono on Linux.
//
// Requests return Tasks at once. The library runs its callbacks only inside Session.Update, on
// the thread that calls it; the Tasks complete there, and continuations attached without a
// scheduler of their own run there too. A request the library drops without answering (its
// launcher connection was lost, or the session was disposed) faults with an IOException. Use
// one thread.
using System;
using System.Collections.Generic;
using System.IO;
using System.Runtime.InteropServices;
using System.Text;
using System.Threading.Tasks;

namespace Velhalyx.Launcher
{
    // The exports and callback types, one to one. cdecl for both.
    public static class Native
    {
        const string Library = "velhalyxapi_r2";
        const CallingConvention Cdecl = CallingConvention.Cdecl;

        [UnmanagedFunctionPointer(Cdecl)]
        public delegate void LoginDetailsCallback(IntPtr context, uint requestId, IntPtr userName,
                                                  IntPtr password, IntPtr cdKey);
        [UnmanagedFunctionPointer(Cdecl)]
        public delegate void HalyxServerCallback(IntPtr context, uint requestId, IntPtr pipe);
        [UnmanagedFunctionPointer(Cdecl)]
        public delegate void HandleCallback(IntPtr context, uint requestId, uint result,
                                            IntPtr handle);
        [UnmanagedFunctionPointer(Cdecl)]
        public delegate void ListCallback(IntPtr context, uint requestId, IntPtr savegames,
                                          uint count);
        [UnmanagedFunctionPointer(Cdecl)]
        public delegate void CountCallback(IntPtr context, uint requestId, uint count);
        [UnmanagedFunctionPointer(Cdecl)]
        public delegate void DroppedCallback(IntPtr context, uint requestId);

        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern IntPtr KxHalyxdllCCreateSession();
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void KxHalyxdllCDestroySession(IntPtr session);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void KxHalyxdllCSetDroppedCallback(IntPtr session,
                                                                DroppedCallback dropped);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void KxHalyxdllCUpdate(IntPtr session);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern uint KxHalyxdllCGetRequestUniqueId(IntPtr session);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern IntPtr KxHalyxdllCGetLocText(
            IntPtr session, [MarshalAs(UnmanagedType.LPWStr)] string key, string languageCode);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void KxHalyxdllCGetLoginDetails(IntPtr session, uint requestId,
                                                             LoginDetailsCallback callback,
                                                             IntPtr context);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void KxHalyxdllCGetHalyxServer(IntPtr session, uint requestId,
                                                            HalyxServerCallback callback,
                                                            IntPtr context, uint productId,
                                                            uint subProductId);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void KxHalyxdllCGetSavegameReader(IntPtr session, uint requestId,
                                                               HandleCallback callback,
                                                               IntPtr context, uint productId,
                                                               uint slotId);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void KxHalyxdllCGetSavegameWriter(IntPtr session, uint requestId,
                                                               HandleCallback callback,
                                                               IntPtr context, uint productId,
                                                               uint slotId, int overwrite);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void KxHalyxdllCGetSavegameList(IntPtr session, uint requestId,
                                                             ListCallback callback,
                                                             IntPtr context, uint productId);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void KxHalyxdllCRemoveSavegame(IntPtr session, uint requestId,
                                                            CountCallback callback,
                                                            IntPtr context, uint productId,
                                                            uint slotId);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void KxHalyxdllCSavegameReaderRead(IntPtr reader, uint requestId,
                                                                CountCallback callback,
                                                                IntPtr context, uint offset,
                                                                IntPtr destination,
                                                                uint byteCount);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void KxHalyxdllCSavegameReaderClose(IntPtr reader);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void KxHalyxdllCSavegameWriterWrite(IntPtr writer, uint requestId,
                                                                 CountCallback callback,
                                                                 IntPtr context, byte[] data,
                                                                 uint byteCount);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern int KxHalyxdllCSavegameWriterSetName(
            IntPtr writer, [MarshalAs(UnmanagedType.LPWStr)] string name);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern void KxHalyxdllCSavegameWriterClose(IntPtr writer, int persist);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern IntPtr KxHalyxdllCSavegameListAt(IntPtr savegames, uint index);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern IntPtr KxHalyxdllCSavegameInfoGetName(IntPtr info);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern uint KxHalyxdllCSavegameInfoGetProductId(IntPtr info);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern uint KxHalyxdllCSavegameInfoGetSavegameId(IntPtr info);
        [DllImport(Library, CallingConvention = Cdecl)]
        public static extern uint KxHalyxdllCSavegameInfoGetSize(IntPtr info);
    }

    // An open or remove request the launcher refused: 1 not found (for writing: overwrite
    // refused), 2 slot locked, 3 failed or slot id 0.
    public sealed class SavegameException : Exception
    {
        public readonly uint Result;
        public SavegameException(uint result)
            : base("the launcher refused the request (result " + result + ")")
        {
            Result = result;
        }
    }

    public sealed class LoginDetails
    {
        public string UserName, Password, CdKey;
    }

    public sealed class SavegameInfo
    {
        public string Name;
        public uint ProductId, SlotId, Size;
        public override string ToString()
        {
            return string.Format("'{0}' (product {1}, slot {2}, {3} bytes)", Name, ProductId,
                                 SlotId, Size);
        }
    }

    // The requests waiting for their callbacks, by the context number handed to the library.
    // The native delegates are static, so they stay alive as long as any request can be
    // pending; each entry holds what its request needs until it ends (a read's buffer).
    static class Pending
    {
        sealed class Entry
        {
            public Action<object[]> Complete;
            public Action<Exception> Fail;
            public IntPtr Buffer;
            public int BufferSize;
        }

        static readonly Dictionary<long, Entry> entries = new Dictionary<long, Entry>();
        static long next = 1;

        public static int Count { get { return entries.Count; } }

        // The context for a request completing `task` with `resolve` of its callback's
        // arguments; a read passes its buffer (size bytes), freed when the request ends.
        public static IntPtr Add<T>(TaskCompletionSource<T> task, Func<object[], T> resolve,
                                    IntPtr buffer = default(IntPtr), int size = 0)
        {
            var entry = new Entry { Buffer = buffer, BufferSize = size };
            entry.Complete = arguments => {
                try {
                    task.SetResult(resolve(arguments));
                } catch (SavegameException refused) {
                    task.SetException(refused);
                }
            };
            entry.Fail = error => task.SetException(error);
            entries.Add(next, entry);
            return new IntPtr(next++);
        }

        static Entry Take(IntPtr context)
        {
            Entry entry;
            if (!entries.TryGetValue(context.ToInt64(), out entry)) return null;
            entries.Remove(context.ToInt64());
            if (entry.Buffer != IntPtr.Zero) Marshal.FreeHGlobal(entry.Buffer);
            return entry;
        }

        public static void Complete(IntPtr context, params object[] arguments)
        {
            var entry = Take(context);
            if (entry != null) entry.Complete(arguments);
        }

        public static readonly Native.DroppedCallback Dropped = (context, requestId) => {
            var entry = Take(context);
            if (entry != null)
                entry.Fail(new IOException("request " + requestId + " dropped by the library"));
        };
        public static readonly Native.LoginDetailsCallback Login =
            (context, id, user, password, key) => Complete(context, Utf8(user),
                                                           Marshal.PtrToStringUni(password),
                                                           Utf8(key));
        public static readonly Native.HalyxServerCallback Server =
            (context, id, pipe) => Complete(context, pipe);
        public static readonly Native.HandleCallback Handle =
            (context, id, result, handle) => Complete(context, result, handle);
        public static readonly Native.ListCallback List =
            (context, id, savegames, count) => Complete(context, savegames, count);
        // A read's buffer is copied out before the request ends and frees it.
        public static readonly Native.CountCallback Count_ = (context, id, count) => {
            Entry entry;
            byte[] bytes = null;
            if (entries.TryGetValue(context.ToInt64(), out entry) && entry.Buffer != IntPtr.Zero) {
                bytes = new byte[entry.BufferSize];
                Marshal.Copy(entry.Buffer, bytes, 0, bytes.Length);
            }
            Complete(context, count, bytes);
        };

        static string Utf8(IntPtr text)
        {
            int length = 0;
            while (Marshal.ReadByte(text, length) != 0) ++length;
            var bytes = new byte[length];
            Marshal.Copy(text, bytes, 0, length);
            return Encoding.UTF8.GetString(bytes);
        }
    }

    // The game's session with the launcher (one per process). Call Update every frame.
    public sealed class Session : IDisposable
    {
        IntPtr handle;

        public Session()
        {
            handle = Native.KxHalyxdllCCreateSession();
            if (handle == IntPtr.Zero) throw new OutOfMemoryException("no session");
            Native.KxHalyxdllCSetDroppedCallback(handle, Pending.Dropped);
        }

        // Requests still waiting for their answers.
        public static int PendingCount { get { return Pending.Count; } }

        // Completes the Tasks of the answers that have arrived, on this thread.
        public void Update() { Native.KxHalyxdllCUpdate(handle); }

        // Ends the session; pending Tasks fault with an IOException.
        public void Dispose()
        {
            if (handle == IntPtr.Zero) return;
            Native.KxHalyxdllCDestroySession(handle);
            handle = IntPtr.Zero;
        }

        uint NextId() { return Native.KxHalyxdllCGetRequestUniqueId(handle); }

        public Task<LoginDetails> GetLoginDetailsAsync()
        {
            var task = new TaskCompletionSource<LoginDetails>();
            var context = Pending.Add(task, a => new LoginDetails {
                UserName = (string)a[0], Password = (string)a[1], CdKey = (string)a[2] });
            Native.KxHalyxdllCGetLoginDetails(handle, NextId(), Pending.Login, context);
            return task.Task;
        }

        // The opened server pipe (a HANDLE on Windows, a file descriptor on POSIX), now the
        // caller's; IntPtr(-1) when it could not be opened.
        public Task<IntPtr> GetServerPipeAsync(uint productId, uint subProductId = 0)
        {
            var task = new TaskCompletionSource<IntPtr>();
            var context = Pending.Add(task, a => (IntPtr)a[0]);
            Native.KxHalyxdllCGetHalyxServer(handle, NextId(), Pending.Server, context, productId,
                                             subProductId);
            return task.Task;
        }

        public Task<SavegameReader> OpenReaderAsync(uint productId, uint slotId)
        {
            var task = new TaskCompletionSource<SavegameReader>();
            var context = Pending.Add(task, a => new SavegameReader(this, Opened(a)));
            Native.KxHalyxdllCGetSavegameReader(handle, NextId(), Pending.Handle, context,
                                                productId, slotId);
            return task.Task;
        }

        public Task<SavegameWriter> OpenWriterAsync(uint productId, uint slotId,
                                                    bool overwrite = true)
        {
            var task = new TaskCompletionSource<SavegameWriter>();
            var context = Pending.Add(task, a => new SavegameWriter(this, Opened(a)));
            Native.KxHalyxdllCGetSavegameWriter(handle, NextId(), Pending.Handle, context,
                                                productId, slotId, overwrite ? 1 : 0);
            return task.Task;
        }

        public Task<List<SavegameInfo>> ListAsync(uint productId)
        {
            var task = new TaskCompletionSource<List<SavegameInfo>>();
            var context = Pending.Add(task, a => {
                var list = new List<SavegameInfo>();
                for (uint i = 0; i < (uint)a[1]; ++i) {
                    var info = Native.KxHalyxdllCSavegameListAt((IntPtr)a[0], i);
                    list.Add(new SavegameInfo {
                        Name = Marshal.PtrToStringUni(Native.KxHalyxdllCSavegameInfoGetName(info)),
                        ProductId = Native.KxHalyxdllCSavegameInfoGetProductId(info),
                        SlotId = Native.KxHalyxdllCSavegameInfoGetSavegameId(info),
                        Size = Native.KxHalyxdllCSavegameInfoGetSize(info)
                    });
                }
                return list;
            });
            Native.KxHalyxdllCGetSavegameList(handle, NextId(), Pending.List, context, productId);
            return task.Task;
        }

        public Task<bool> RemoveAsync(uint productId, uint slotId)
        {
            var task = new TaskCompletionSource<bool>();
            var context = Pending.Add(task, a => {
                if ((uint)a[0] != 0) throw new SavegameException((uint)a[0]);
                return true;
            });
            Native.KxHalyxdllCRemoveSavegame(handle, NextId(), Pending.Count_, context, productId,
                                             slotId);
            return task.Task;
        }

        static IntPtr Opened(object[] a)
        {
            if ((uint)a[0] != 0) throw new SavegameException((uint)a[0]);
            return (IntPtr)a[1];
        }

        internal uint RequestId() { return NextId(); }
    }

    // A savegame open for reading; Close it when done.
    public sealed class SavegameReader
    {
        readonly Session session;
        IntPtr handle;

        internal SavegameReader(Session session, IntPtr handle)
        {
            this.session = session;
            this.handle = handle;
        }

        // The count bytes at offset (zeros past the end of the savegame).
        public Task<byte[]> ReadAsync(uint offset, uint count)
        {
            var task = new TaskCompletionSource<byte[]>();
            var buffer = Marshal.AllocHGlobal(Math.Max((int)count, 1));
            var context = Pending.Add(task, a => (byte[])a[1], buffer, (int)count);
            Native.KxHalyxdllCSavegameReaderRead(handle, session.RequestId(), Pending.Count_,
                                                 context, offset, buffer, count);
            return task.Task;
        }

        public void Close()
        {
            Native.KxHalyxdllCSavegameReaderClose(handle);
            handle = IntPtr.Zero;
        }
    }

    // A savegame slot open for writing; Close it to keep (persist) or discard what was written.
    public sealed class SavegameWriter
    {
        readonly Session session;
        IntPtr handle;

        internal SavegameWriter(Session session, IntPtr handle)
        {
            this.session = session;
            this.handle = handle;
        }

        // The display name, at most 255 UTF-16 units; false when refused.
        public bool SetName(string name)
        {
            return Native.KxHalyxdllCSavegameWriterSetName(handle, name) != 0;
        }

        // Appends data (copied at once); the byte count the launcher reports as written.
        public Task<uint> WriteAsync(byte[] data)
        {
            var task = new TaskCompletionSource<uint>();
            var context = Pending.Add(task, a => (uint)a[0]);
            Native.KxHalyxdllCSavegameWriterWrite(handle, session.RequestId(), Pending.Count_,
                                                  context, data, (uint)data.Length);
            return task.Task;
        }

        public void Close(bool persist)
        {
            Native.KxHalyxdllCSavegameWriterClose(handle, persist ? 1 : 0);
            handle = IntPtr.Zero;
        }
    }
}
