! The compiler's own list-directed READ and WRITE, for comparison with the
! system's free-form reader and writer.
!
!   free_form_reference read PATTERN FILE
!     Reads FILE with READ(unit,*) again and again into the targets named by
!     PATTERN (R real, I integer, A text, e.g. "RRIA") until the end of the
!     file or an error.  Before each read every target is set to a mark value
!     (-12345.0, -999, "<unset>") so that nulls show.  Prints per read "OK"
!     and one line per target ("R" and the bits in hex, "I" and the value,
!     "A [text]" with trailing blanks dropped), and at the end "END" or "ERR".
!
!   free_form_reference write-integers FILE
!     Reads one integer per line and writes each with WRITE(*,*).
program free_form_reference
  implicit none
  integer, parameter :: max_items = 400, slots = 9
  character(len=16) :: mode
  character(len=max_items) :: pattern
  character(len=4096) :: path
  character(len=1), parameter :: slot_kind(slots) = ['R', 'I', 'A', 'R', 'I', 'A', 'R', 'I', 'A']
  integer :: slot_count(slots), slot_of(max_items), place_of(max_items)
  real :: r1(max_items), r2(max_items), r3(max_items)
  integer :: i1(max_items), i2(max_items), i3(max_items)
  character(len=200) :: a1(max_items), a2(max_items), a3(max_items)
  integer :: n, k, s, ios, u, value

  call get_command_argument(1, mode)
  if (mode == 'write-integers') then
    call get_command_argument(2, path)
    open(newunit=u, file=trim(path), status='old', action='read')
    do
      read(u, *, iostat=ios) value
      if (ios /= 0) exit
      write(*, *) value
    end do
    stop
  end if

  call get_command_argument(2, pattern)
  call get_command_argument(3, path)
  n = len_trim(pattern)
  ! Each run of one kind of target goes to the next slot of that kind.
  slot_count = 0
  s = 1
  do k = 1, n
    do while (slot_kind(s) /= pattern(k:k))
      s = s + 1
      if (s > slots) then
        write(*, '(A)') 'BAD PATTERN'
        stop 2
      end if
    end do
    slot_count(s) = slot_count(s) + 1
    slot_of(k) = s
    place_of(k) = slot_count(s)
  end do

  open(newunit=u, file=trim(path), status='old', action='read')
  do
    r1 = -12345.0; r2 = -12345.0; r3 = -12345.0
    i1 = -999; i2 = -999; i3 = -999
    a1 = '<unset>'; a2 = '<unset>'; a3 = '<unset>'
    read(u, *, iostat=ios) (r1(k), k = 1, slot_count(1)), (i1(k), k = 1, slot_count(2)), &
        (a1(k), k = 1, slot_count(3)), (r2(k), k = 1, slot_count(4)), (i2(k), k = 1, slot_count(5)), &
        (a2(k), k = 1, slot_count(6)), (r3(k), k = 1, slot_count(7)), (i3(k), k = 1, slot_count(8)), &
        (a3(k), k = 1, slot_count(9))
    if (ios < 0) then
      write(*, '(A)') 'END'
      exit
    else if (ios > 0) then
      write(*, '(A)') 'ERR'
      exit
    end if
    write(*, '(A)') 'OK'
    do k = 1, n
      select case (slot_of(k))
      case (1); call show_real(r1(place_of(k)))
      case (4); call show_real(r2(place_of(k)))
      case (7); call show_real(r3(place_of(k)))
      case (2); call show_integer(i1(place_of(k)))
      case (5); call show_integer(i2(place_of(k)))
      case (8); call show_integer(i3(place_of(k)))
      case (3); call show_text(a1(place_of(k)))
      case (6); call show_text(a2(place_of(k)))
      case (9); call show_text(a3(place_of(k)))
      end select
    end do
  end do

contains

  subroutine show_real(x)
    real, intent(in) :: x
    write(*, '(A,Z8.8)') 'R ', transfer(x, 0)
  end subroutine

  subroutine show_integer(i)
    integer, intent(in) :: i
    write(*, '(A,I0)') 'I ', i
  end subroutine

  subroutine show_text(c)
    character(len=*), intent(in) :: c
    write(*, '(A,A,A)') 'A [', trim(c), ']'
  end subroutine

end program free_form_reference
