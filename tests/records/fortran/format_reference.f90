! Writes or reads records with edit-descriptor lists taken from a case file,
! so that the format engine can be compared with the Fortran run-time.
!
! Usage: format_reference write CASES OUT   or   format_reference read CASES OUT
!
! A case holds the list, then its values as runs of one type each:
!   write cases:  "F n" and n float bit patterns (hex), "I n" and n integers,
!                 "A n" and n pairs of lines (length, text).
!   read cases:   the number of lines and the lines (length line, text line),
!                 which are read back from a file,
!                 then the runs of targets: "F n", "I n", or "A n" with n
!                 lengths of the text targets.
! The values of a case go to one WRITE or READ statement: each run takes the
! next slot of its type in a fixed cycle of real, integer and text slots.
program format_reference
  implicit none
  integer, parameter :: slots = 72
  type :: text_value
    character(len=:), allocatable :: t
  end type
  real, allocatable :: r(:)
  integer, allocatable :: iv(:)
  type(text_value), allocatable :: c(:)
  character(len=20000), allocatable :: lines(:)
  integer, allocatable :: lengths(:)
  integer :: lo(slots), hi(slots)
  character(len=5) :: mode
  character(len=1024) :: cases_name, out_name
  character(len=20000) :: buffer, fmt
  integer :: inp, out, scratch, ncases, icase, nruns, irun, n, k, ios, slot, nr, ni, nc, nlines, width, bits
  character(len=1) :: kind

  call get_command_argument(1, mode)
  call get_command_argument(2, cases_name)
  call get_command_argument(3, out_name)
  open(newunit=inp, file=trim(cases_name), status='old', action='read')
  open(newunit=out, file=trim(out_name), status='replace', action='write', round='nearest', recl=1000000)
  allocate(r(100000), iv(100000), c(100000))
  read(inp, *) ncases
  do icase = 1, ncases
    read(inp, '(A)') fmt
    if (mode == 'read') then
      read(inp, *) nlines
      allocate(lines(max(nlines, 1)), lengths(max(nlines, 1)))
      lines = ' '
      do k = 1, nlines
        read(inp, *) lengths(k)
        read(inp, '(A)') buffer
        lines(k) = buffer(1:lengths(k))
      end do
    end if
    read(inp, *) nruns
    lo = 1
    hi = 0
    slot = 0
    nr = 0
    ni = 0
    nc = 0
    do irun = 1, nruns
      read(inp, *) kind, n
      select case (kind)
      case ('F')
        slot = next_slot(slot, 1)
        lo(slot) = nr + 1
        do k = 1, n
          nr = nr + 1
          if (mode == 'write') then
            read(inp, '(Z8)') bits
            r(nr) = transfer(bits, r(nr))
          end if
        end do
        hi(slot) = nr
      case ('I')
        slot = next_slot(slot, 2)
        lo(slot) = ni + 1
        do k = 1, n
          ni = ni + 1
          if (mode == 'write') read(inp, *) iv(ni)
        end do
        hi(slot) = ni
      case ('A')
        slot = next_slot(slot, 3)
        lo(slot) = nc + 1
        do k = 1, n
          nc = nc + 1
          read(inp, *) width
          if (mode == 'write') then
            read(inp, '(A)') buffer
            c(nc)%t = buffer(1:width)
          else
            if (allocated(c(nc)%t)) deallocate(c(nc)%t)
            allocate(character(len=width) :: c(nc)%t)
          end if
        end do
        hi(slot) = nc
      end select
    end do
    if (mode == 'write') then
      write(out, fmt=trim(fmt), iostat=ios) &
      (r(k), k=lo(1),hi(1)), (iv(k), k=lo(2),hi(2)), (c(k)%t, k=lo(3),hi(3)), &
      (r(k), k=lo(4),hi(4)), (iv(k), k=lo(5),hi(5)), (c(k)%t, k=lo(6),hi(6)), &
      (r(k), k=lo(7),hi(7)), (iv(k), k=lo(8),hi(8)), (c(k)%t, k=lo(9),hi(9)), &
      (r(k), k=lo(10),hi(10)), (iv(k), k=lo(11),hi(11)), (c(k)%t, k=lo(12),hi(12)), &
      (r(k), k=lo(13),hi(13)), (iv(k), k=lo(14),hi(14)), (c(k)%t, k=lo(15),hi(15)), &
      (r(k), k=lo(16),hi(16)), (iv(k), k=lo(17),hi(17)), (c(k)%t, k=lo(18),hi(18)), &
      (r(k), k=lo(19),hi(19)), (iv(k), k=lo(20),hi(20)), (c(k)%t, k=lo(21),hi(21)), &
      (r(k), k=lo(22),hi(22)), (iv(k), k=lo(23),hi(23)), (c(k)%t, k=lo(24),hi(24)), &
      (r(k), k=lo(25),hi(25)), (iv(k), k=lo(26),hi(26)), (c(k)%t, k=lo(27),hi(27)), &
      (r(k), k=lo(28),hi(28)), (iv(k), k=lo(29),hi(29)), (c(k)%t, k=lo(30),hi(30)), &
      (r(k), k=lo(31),hi(31)), (iv(k), k=lo(32),hi(32)), (c(k)%t, k=lo(33),hi(33)), &
      (r(k), k=lo(34),hi(34)), (iv(k), k=lo(35),hi(35)), (c(k)%t, k=lo(36),hi(36)), &
      (r(k), k=lo(37),hi(37)), (iv(k), k=lo(38),hi(38)), (c(k)%t, k=lo(39),hi(39)), &
      (r(k), k=lo(40),hi(40)), (iv(k), k=lo(41),hi(41)), (c(k)%t, k=lo(42),hi(42)), &
      (r(k), k=lo(43),hi(43)), (iv(k), k=lo(44),hi(44)), (c(k)%t, k=lo(45),hi(45)), &
      (r(k), k=lo(46),hi(46)), (iv(k), k=lo(47),hi(47)), (c(k)%t, k=lo(48),hi(48)), &
      (r(k), k=lo(49),hi(49)), (iv(k), k=lo(50),hi(50)), (c(k)%t, k=lo(51),hi(51)), &
      (r(k), k=lo(52),hi(52)), (iv(k), k=lo(53),hi(53)), (c(k)%t, k=lo(54),hi(54)), &
      (r(k), k=lo(55),hi(55)), (iv(k), k=lo(56),hi(56)), (c(k)%t, k=lo(57),hi(57)), &
      (r(k), k=lo(58),hi(58)), (iv(k), k=lo(59),hi(59)), (c(k)%t, k=lo(60),hi(60)), &
      (r(k), k=lo(61),hi(61)), (iv(k), k=lo(62),hi(62)), (c(k)%t, k=lo(63),hi(63)), &
      (r(k), k=lo(64),hi(64)), (iv(k), k=lo(65),hi(65)), (c(k)%t, k=lo(66),hi(66)), &
      (r(k), k=lo(67),hi(67)), (iv(k), k=lo(68),hi(68)), (c(k)%t, k=lo(69),hi(69)), &
      (r(k), k=lo(70),hi(70)), (iv(k), k=lo(71),hi(71)), (c(k)%t, k=lo(72),hi(72))
      if (ios /= 0) then
        write(out, '(/A)') '@@ERROR'
      end if
      write(out, '(A)') '@@END'
    else
      ! The lines go through a file, as the system reads them.
      open(newunit=scratch, file=trim(out_name)//'.lines', status='replace', action='write')
      do k = 1, nlines
        write(scratch, '(A)') lines(k)(1:lengths(k))
      end do
      close(scratch)
      open(newunit=scratch, file=trim(out_name)//'.lines', status='old', action='read')
      read(scratch, fmt=trim(fmt), iostat=ios) &
      (r(k), k=lo(1),hi(1)), (iv(k), k=lo(2),hi(2)), (c(k)%t, k=lo(3),hi(3)), &
      (r(k), k=lo(4),hi(4)), (iv(k), k=lo(5),hi(5)), (c(k)%t, k=lo(6),hi(6)), &
      (r(k), k=lo(7),hi(7)), (iv(k), k=lo(8),hi(8)), (c(k)%t, k=lo(9),hi(9)), &
      (r(k), k=lo(10),hi(10)), (iv(k), k=lo(11),hi(11)), (c(k)%t, k=lo(12),hi(12)), &
      (r(k), k=lo(13),hi(13)), (iv(k), k=lo(14),hi(14)), (c(k)%t, k=lo(15),hi(15)), &
      (r(k), k=lo(16),hi(16)), (iv(k), k=lo(17),hi(17)), (c(k)%t, k=lo(18),hi(18)), &
      (r(k), k=lo(19),hi(19)), (iv(k), k=lo(20),hi(20)), (c(k)%t, k=lo(21),hi(21)), &
      (r(k), k=lo(22),hi(22)), (iv(k), k=lo(23),hi(23)), (c(k)%t, k=lo(24),hi(24)), &
      (r(k), k=lo(25),hi(25)), (iv(k), k=lo(26),hi(26)), (c(k)%t, k=lo(27),hi(27)), &
      (r(k), k=lo(28),hi(28)), (iv(k), k=lo(29),hi(29)), (c(k)%t, k=lo(30),hi(30)), &
      (r(k), k=lo(31),hi(31)), (iv(k), k=lo(32),hi(32)), (c(k)%t, k=lo(33),hi(33)), &
      (r(k), k=lo(34),hi(34)), (iv(k), k=lo(35),hi(35)), (c(k)%t, k=lo(36),hi(36)), &
      (r(k), k=lo(37),hi(37)), (iv(k), k=lo(38),hi(38)), (c(k)%t, k=lo(39),hi(39)), &
      (r(k), k=lo(40),hi(40)), (iv(k), k=lo(41),hi(41)), (c(k)%t, k=lo(42),hi(42)), &
      (r(k), k=lo(43),hi(43)), (iv(k), k=lo(44),hi(44)), (c(k)%t, k=lo(45),hi(45)), &
      (r(k), k=lo(46),hi(46)), (iv(k), k=lo(47),hi(47)), (c(k)%t, k=lo(48),hi(48)), &
      (r(k), k=lo(49),hi(49)), (iv(k), k=lo(50),hi(50)), (c(k)%t, k=lo(51),hi(51)), &
      (r(k), k=lo(52),hi(52)), (iv(k), k=lo(53),hi(53)), (c(k)%t, k=lo(54),hi(54)), &
      (r(k), k=lo(55),hi(55)), (iv(k), k=lo(56),hi(56)), (c(k)%t, k=lo(57),hi(57)), &
      (r(k), k=lo(58),hi(58)), (iv(k), k=lo(59),hi(59)), (c(k)%t, k=lo(60),hi(60)), &
      (r(k), k=lo(61),hi(61)), (iv(k), k=lo(62),hi(62)), (c(k)%t, k=lo(63),hi(63)), &
      (r(k), k=lo(64),hi(64)), (iv(k), k=lo(65),hi(65)), (c(k)%t, k=lo(66),hi(66)), &
      (r(k), k=lo(67),hi(67)), (iv(k), k=lo(68),hi(68)), (c(k)%t, k=lo(69),hi(69)), &
      (r(k), k=lo(70),hi(70)), (iv(k), k=lo(71),hi(71)), (c(k)%t, k=lo(72),hi(72))
      close(scratch, status='delete')
      if (ios /= 0) then
        write(out, '(A)') '@@ERROR'
      else
        do slot = 1, slots
          do k = lo(slot), hi(slot)
            select case (mod(slot - 1, 3))
            case (0)
              write(out, '(A,Z8.8)') 'F ', transfer(r(k), bits)
            case (1)
              write(out, '(A,I0)') 'I ', iv(k)
            case (2)
              write(out, '(A)') 'A [' // c(k)%t // ']'
            end select
          end do
        end do
      end if
      write(out, '(A)') '@@END'
      deallocate(lines, lengths)
    end if
  end do
  close(out)
  close(inp)

contains

  ! The first slot after `after` that holds values of the given type
  ! (1 real, 2 integer, 3 text).
  integer function next_slot(after, type)
    integer, intent(in) :: after, type
    next_slot = after + 1
    do while (mod(next_slot - 1, 3) + 1 /= type)
      next_slot = next_slot + 1
    end do
    if (next_slot > slots) stop 'too many runs of values in one case'
  end function

end program format_reference
